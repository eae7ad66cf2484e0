#include "util/attr_list.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/test_util.h"
#include "util/report.h"

namespace dusk {
namespace {

AttrTable MakeTable(const std::vector<std::pair<std::string, std::string>>& pairs,
                    int capacity = 32) {
  AttrTable table(capacity);
  for (const auto& [name, value] : pairs) table.Set(name, value);
  return table;
}

TEST(AttrListTest, AppendAttrQuotesOnlyWhatAListParserWouldMisread) {
  struct Case {
    const char* row;
    std::string list, name, value, expected;
  } cases[] = {
      {"blank inside", "", "fullname", "a b", "fullname {a b}"},
      {"second pair gets one blank", "fullname {a b}", "x", "1", "fullname {a b} x 1"},
      {"tab", "", "t", "a\tb", "t {a\tb}"},
      {"empty", "", "devdn", "", "devdn {}"},
      {"brace inside", "", "b", "a{", "b a{"},
      {"opening brace first", "", "b", "{", "b \\{"},
      {"quote inside", "", "q", "a\"", "q a\""},
      {"quote first", "", "q", "\"", "q {\"}"},
      {"backslash and line break", "", "s", "\\\n", "s \\\\\\n"},
      {"a value posing as more attributes", "", "serial", "CH} sender {x",
       "serial CH\\}\\ sender\\ \\{x"},
      {"nested list", "", "data", "k {v w}", "data {k {v w}}"},
      {"name never braced", "", "a b", "c", "a b c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::string list = c.list;
    EXPECT_TRUE(TclListAppendAttr(&list, kTclListCapacity, c.name, c.value));
    EXPECT_EQ(list, c.expected);
  }
}

TEST(AttrListTest, AppendElementQuotesLikeAValueButEmptyAddsSeparator) {
  struct Case {
    const char* row;
    std::string list, element, expected;
  } cases[] = {
      {"bare", "info", "done", "info done"},
      {"blank", "info", "Copying file 1 of 3", "info {Copying file 1 of 3}"},
      {"tab", "", "a\tb", "{a\tb}"},
      {"empty after an element", "info", "", "info "},
      {"empty on an empty list", "", "", ""},
      {"braces kept by braces", "", "{x}", "{{x}}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::string list = c.list;
    EXPECT_TRUE(TclListAppendElement(&list, kTclLineCapacity, c.element));
    EXPECT_EQ(list, c.expected);
  }
}

// The capacity counts the NUL of the text: both the server's rule
// (length + name + value + 3) and the real size must fit.
TEST(AttrListTest, AppendAttrCapacityEdges) {
  struct Case {
    const char* row;
    size_t capacity;
    std::string list, name, value;
    bool fits;
  } cases[] = {
      {"8 + 9 + 3 = 20", 20, "", "abcdefgh", "123456789", true},
      {"8 + 10 + 3 = 21", 20, "", "abcdefgh", "1234567890", false},
      {"braced, 20 bytes with NUL", 20, "", "abcdefgh", "1 3 5 7 ", true},
      {"braced, 21 bytes with NUL", 20, "", "abcdefgh", "1 3 5 7 9", false},
      {"after an element", 20, "ab", "abcdefgh", "1234567", true},
      {"after an element, one more", 20, "ab", "abcdefgh", "12345678", false},
      {"empty value braced, 12 bytes with NUL", 12, "", "abcdefgh", "", true},
      {"empty value braced, 13 bytes with NUL", 12, "", "abcdefghi", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::string list = c.list;
    test::LogCapture log;
    EXPECT_EQ(TclListAppendAttr(&list, c.capacity, c.name, c.value), c.fits);
    if (c.fits) {
      EXPECT_LT(list.size(), c.capacity);
      EXPECT_TRUE(log.lines().empty());
    } else {
      EXPECT_EQ(list, c.list);
      EXPECT_TRUE(log.Has(kLogError, "Cannot Append attribute \"" + c.name +
                                         "\" with value \"" + c.value +
                                         "\" to List - Buffer full, skipping."));
    }
  }
  std::string list;
  ASSERT_TRUE(TclListAppendAttr(&list, 20, "abcdefgh", "123456789"));
  EXPECT_EQ(list.size(), 18u);
}

TEST(AttrListTest, AppendElementCapacityEdges) {
  struct Case {
    const char* row;
    size_t capacity;
    std::string list, element;
    bool fits;
  } cases[] = {
      {"3 + 4 + 3 = 10", 10, "abc", "abcd", true},
      {"3 + 5 + 3 = 11", 10, "abc", "abcde", false},
      {"braced after an element, 10 bytes with NUL", 10, "ab", "a bc", true},
      {"braced after an element, 11 bytes with NUL", 10, "ab", "a b c", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::string list = c.list;
    test::LogCapture log;
    EXPECT_EQ(TclListAppendElement(&list, c.capacity, c.element), c.fits);
    if (c.fits) {
      EXPECT_LT(list.size(), c.capacity);
    } else {
      EXPECT_EQ(list, c.list);
      EXPECT_TRUE(log.Has(kLogError, "Cannot Append element \"" + c.element +
                                         "\" to List - Buffer full, skipping."));
    }
  }
}

TEST(AttrListTest, TableToListInSlotOrderSkippingWhatDoesNotFit) {
  AttrTable table =
      MakeTable({{"devdn", ""}, {"hostname", "pc 01"}, {"ipaddress", "10.1.2.3"}});
  std::string list = "old text";
  AttrsToTclList(&list, kTclListCapacity, table);
  EXPECT_EQ(list, "devdn {} hostname {pc 01} ipaddress 10.1.2.3");

  // "devdn {}" takes 9 bytes with the NUL; the long pair is skipped, the
  // short one after it still goes in.
  AttrTable crowded = MakeTable({{"devdn", ""}, {"long", "0123456789"}, {"k", "v"}});
  test::LogCapture log;
  AttrsToTclList(&list, 16, crowded);
  EXPECT_EQ(list, "devdn {} k v");
  EXPECT_EQ(log.messages(),
            std::vector<std::string>{"Cannot Append attribute \"long\" with value "
                                     "\"0123456789\" to List - Buffer full, skipping."});
}

TEST(AttrListTest, GetAttrValueDefaultsAndLetterCase) {
  AttrTable table =
      MakeTable({{"DevDn", "lower slot"}, {"devdn", "upper slot"}, {"e", ""}});
  struct Case {
    const char* row;
    const char* name;
    bool keep_empty;
    std::string expected;
  } cases[] = {
      {"absent", "missing", true, "dflt"},
      {"empty kept", "E", true, ""},
      {"empty replaced", "e", false, "dflt"},
      {"first slot wins without case", "DEVDN", false, "lower slot"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    EXPECT_EQ(GetAttrValue(table, c.name, "dflt", c.keep_empty), c.expected);
  }
  EXPECT_TRUE(SetAttrValue(table, "devdn", "new"));
  EXPECT_EQ(GetAttrValue(table, "DevDn", "", true), "lower slot");
  AttrTable full(1);
  EXPECT_TRUE(SetAttrValue(full, "a", "1"));
  EXPECT_FALSE(SetAttrValue(full, "A", "2"));
}

TEST(AttrListTest, LogAttrsWritesOneLinePerSlot) {
  AttrTable table = MakeTable({{"hostname", "pc 01"}, {"devdn", ""}});
  test::LogCapture log;
  LogAttrs(kLogInfo, table);
  LogAttrs(kLogDebug, table);  // below the default level: nothing
  EXPECT_EQ(log.lines(), (std::vector<std::pair<int, std::string>>{
                             {kLogInfo, "  Attr(hostname) = \"pc 01\""},
                             {kLogInfo, "  Attr(devdn) = \"\""}}));
}

TEST(AttrListTest, MatchOverNamesOnly) {
  constexpr std::array<std::string_view, 5> names = {"hostname", "ipaddress", "devdn", "",
                                                     "after"};
  struct Case {
    const char* row;
    AttrTable a, b;
    bool match;
    std::string differences;
  } cases[] = {
      {"missing equals empty", MakeTable({{"devdn", ""}}), MakeTable({}), true, ""},
      {"letter case of a value counts", MakeTable({{"hostname", "Abc"}}),
       MakeTable({{"hostname", "abc"}}), false, "hostname"},
      {"two differences in list order",
       MakeTable({{"ipaddress", "1"}, {"hostname", "a"}}),
       MakeTable({{"hostname", "b"}, {"ipaddress", "2"}}), false, "hostname ipaddress"},
      {"names after the end and outside the list ignored",
       MakeTable({{"after", "1"}, {"other", "x"}}), MakeTable({{"after", "2"}}), true,
       ""},
  };
  test::ScopedLogLevel trace(kLogTrace);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::string differences = "stale";
    test::LogCapture log;
    EXPECT_EQ(AttrsMatch(c.a, c.b, names, &differences), c.match);
    EXPECT_EQ(differences, c.differences);
    EXPECT_EQ(log.lines(),
              (std::vector<std::pair<int, std::string>>{{kLogTrace, "DevicesMatch:"}}));
  }
}

}  // namespace
}  // namespace dusk
