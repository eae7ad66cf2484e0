#include "util/tcl_quote.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace dusk {
namespace {

TEST(TclQuoteTest, KnownElements) {
  struct {
    const char* element;
    const char* quoted;
  } cases[] = {
      // What a list parser reads back as it is stays as it is.
      {"pc01", "pc01"},
      {"dusk://10.1.2.3:3465;major=7", "dusk://10.1.2.3:3465;major=7"},
      {"a{b}c", "a{b}c"},
      {"}x", "}x"},
      {"$v[x]\"", "$v[x]\""},
      {"#x", "#x"},
      // Anything else as Tcl's [list] writes it.
      {"", "{}"},
      {"Thin 5000", "{Thin 5000}"},
      {"a\tb", "{a\tb}"},
      {"a\nb", "{a\nb}"},
      {"$v w", "{$v w}"},
      {"a\\{b", "{a\\{b}"},
      {"\"a", "{\"a}"},
      {"{abc", "\\{abc"},            // unbalanced: escapes
      {"a\"b ]", "{a\"b ]}"},
      {"a\\", "a\\\\"},              // a final backslash cannot be braced
      {"a b\\", "a\\ b\\\\"},
      {"CH} sender {dusk://6.6.6.6:1", "CH\\}\\ sender\\ \\{dusk://6.6.6.6:1"},
      {"x\\\ny", "x\\\\\\ny"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.element);
    EXPECT_EQ(TclQuoteElement(c.element), c.quoted);
  }
}

/// A Tcl command that gives back |text|, whatever its bytes.
std::string TclBytes(const std::string& text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : text) {
    hex.push_back(kDigits[c >> 4]);
    hex.push_back(kDigits[c & 15]);
  }
  return "[binary format H* {" + hex + "}]";
}

// tclsh is the judge: every element reads back as the text it came from, and
// one that needs quoting is written the way Tcl's own [list] writes it.
TEST(TclQuoteTest, TclReadsEveryElementBackAsItself) {
  if (test::RunProgram({"/bin/sh", "-c", "command -v tclsh"}).status != 0)
    GTEST_SKIP() << "tclsh is not installed (scripts/install-deps installs it)";
  std::mt19937 random(42);
  const std::string alphabet = "ab #{}[]$;\"\\\n\t\r";
  std::vector<std::string> elements = {"", "#", "{}", "\\", "}{", "a\\\nb"};
  for (int i = 0; i < 400; ++i) {
    std::string element;
    int length = std::uniform_int_distribution<int>(0, 7)(random);
    for (int k = 0; k < length; ++k)
      element.push_back(alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)]);
    elements.push_back(element);
  }
  test::TempDir dir;
  std::string list, script = "set failures 0\n";
  for (size_t i = 0; i < elements.size(); ++i) {
    const std::string quoted = TclQuoteElement(elements[i]);
    list += (i == 0 ? "" : " ") + quoted;
    if (!TclElementNeedsQuoting(elements[i])) continue;
    // Not first in its list, where [list] would also quote a leading "#".
    script += "if {[string range [list x " + TclBytes(elements[i]) + "] 2 end] ne " +
              TclBytes(quoted) + "} {puts \"list " + std::to_string(i) + "\"; incr failures}\n";
  }
  test::WriteFile(dir / "list", list);
  script += "set f [open " + dir.path() + "/list rb]; set text [read $f]; close $f\n";
  script += "if {[llength $text] != " + std::to_string(elements.size()) +
            "} {puts \"llength [llength $text]\"; incr failures}\n";
  for (size_t i = 0; i < elements.size(); ++i)
    script += "if {[lindex $text " + std::to_string(i) + "] ne " + TclBytes(elements[i]) +
              "} {puts \"lindex " + std::to_string(i) + "\"; incr failures}\n";
  script += "puts \"failures $failures\"\n";
  test::WriteFile(dir / "check.tcl", script);
  test::ProgramResult result = test::RunProgram({"/usr/bin/env", "tclsh", dir / "check.tcl"});
  EXPECT_EQ(result.out, "failures 0\n") << result.err;
}

}  // namespace
}  // namespace dusk
