#include "util/shell_quote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_util.h"
#include "util/files.h"

namespace dusk {
namespace {

TEST(ShellQuoteTest, KnownValues) {
  struct {
    const char* value;
    const char* quoted;
  } cases[] = {
      // Plain values keep their bytes.
      {"pc01", "pc01"},
      {"/etc/kesta/dusk/log/agentinstall.log", "/etc/kesta/dusk/log/agentinstall.log"},
      {"kesta.example.com:3464", "kesta.example.com:3464"},
      {"a_b-c=d,e+f@g%h", "a_b-c=d,e+f@g%h"},
      // Double quotes where they are enough, as a path with a blank always
      // had.
      {"/var/log/my logs/agentinstall.log", "\"/var/log/my logs/agentinstall.log\""},
      {"it's", "\"it's\""},
      {"3464;id>/Y;#", "\"3464;id>/Y;#\""},
      // Single quotes for what the shell would still read between double
      // quotes.
      {"dev$(id>/X)", "'dev$(id>/X)'"},
      {"a`id`", "'a`id`'"},
      {"say \"hi\"", "'say \"hi\"'"},
      {"back\\slash", "'back\\slash'"},
      {"$HOME 'x'", "'$HOME '\\''x'\\'''"},
      {"", "''"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ShellQuote(c.value), c.quoted);
  }
}

// Whatever the value, the shell reads the quoted word back as exactly the
// value, and runs nothing of it.
TEST(ShellQuoteTest, TheShellReadsEveryValueBack) {
  test::TempDir dir;
  const std::string marker = dir / "marker";
  std::vector<std::string> values = {
      "dev$(touch " + marker + ")", "x;touch " + marker, "`touch " + marker + "`",
      "a'b\"c\\d$e`f", "'", "''", "\\", "\n", "a\nb", " lead and trail ", "*", "~", "#x",
      "!x", "a|b&c>d<e", "{1,2}", "$((1+1))", "-n", "=x", "",
  };
  std::string all_bytes;
  for (int c = 1; c < 256; ++c) all_bytes += static_cast<char>(c);
  values.push_back(all_bytes);
  for (const std::string& value : values) {
    SCOPED_TRACE(testing::PrintToString(value));
    const test::ProgramResult result =
        test::RunProgram({"/bin/sh", "-c", "printf %s " + ShellQuote(value)});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, value);
  }
  EXPECT_FALSE(FileExists(marker));
}

}  // namespace
}  // namespace dusk
