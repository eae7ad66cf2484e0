#include "util/command_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dusk {
namespace {

/// The options of a table as "NAME=VALUE" texts, in slot order.
std::vector<std::string> OptionTexts(const AttrTable& table) {
  std::vector<std::string> texts;
  for (const Attr& attr : table) texts.push_back(attr.name + "=" + attr.value);
  return texts;
}

TEST(CommandSplitTest, Tokens) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> tokens;
  };
  const std::vector<Case> cases = {
      {"blanks separate, a tab does not", "  a\tb  c ", {"a\tb", "c"}},
      {"braces group without nesting, and need no blank after them", "{a {b} c}d",
       {"{a {b}", "c}d"}},
      {"a quote escaped by a backslash does not close", R"("a \" b"c)", {R"("a \" b")", "c"}},
      {"an unclosed brace or quote takes the rest", "x {a b", {"x", "{a b"}},
      {"an unclosed quote takes the rest", "\"a b", {"\"a b"}},
      {"a leading dash is part of a plain token", "-a -", {"-a", "-"}},
      {"empty braces and quotes are tokens", "{}\"\"", {"{}", "\"\""}},
      {"nothing but blanks", "   ", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> tokens;
    size_t position = 0;
    for (std::string token = NextToken(c.line, &position); !token.empty();
         token = NextToken(c.line, &position))
      tokens.push_back(token);
    EXPECT_EQ(tokens, c.tokens);
    EXPECT_GE(position, c.line.size());
    EXPECT_EQ(NextToken(c.line, &position), "");
  }
}

TEST(CommandSplitTest, BracesAndQuotes) {
  struct Case {
    std::string in;
    std::string stripped;
    std::string unquoted;
  };
  const std::vector<Case> cases = {
      {"{x y}", "x y", "{x y}"},
      {"{}", "", "{}"},
      {"{", "{", "{"},
      {"{a", "{a", "{a"},
      {"a}", "a}", "a}"},
      {"{{a}}", "{a}", "{{a}}"},
      {R"("a \" b")", R"("a \" b")", R"(a " b)"},
      {R"(""a"")", R"(""a"")", "a"},
      {R"(")", R"(")", ""},
      {R"(a\\"b)", R"(a\\"b)", R"(a\"b)"},
      {R"(a\b)", R"(a\b)", R"(a\b)"},
      // The closing quote goes even when escaped; its backslash stays.
      {R"("a\")", R"("a\")", R"(a\)"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    std::string s = c.in;
    StripBraces(&s);
    EXPECT_EQ(s, c.stripped);
    s = c.in;
    Unquote(&s);
    EXPECT_EQ(s, c.unquoted);
  }
}

TEST(CommandSplitTest, Lines) {
  struct Case {
    const char* name;
    std::string line;
    std::string command;
    std::vector<std::string> options;
    std::string parameters;
  };
  const std::vector<Case> cases = {
      {"command, options with grouped values, parameters",
       "  InstallAgent -a {x y} -b z p1 {p 2}  ", "InstallAgent", {"-a=x y", "-b=z"},
       "p1 {p 2}"},
      {"the install request", "InstallAgent -media /m -contentlist l.mcfl", "InstallAgent",
       {"-media=/m", "-contentlist=l.mcfl"}, ""},
      {"empty", "", "", {}, ""},
      {"blanks only", "     ", "", {}, ""},
      {"an option at the end has the empty value", "cmd -a", "cmd", {"-a="}, ""},
      {"an option's value may begin with a dash", "cmd -a -b -c d", "cmd", {"-a=-b", "-c=d"},
       ""},
      {"a repeated option replaces its value", "cmd -a 1 -b 2 -a 3", "cmd", {"-a=3", "-b=2"},
       ""},
      {"a quoted value loses its quotes and escapes", R"(cmd -p "say \"hi\" now")", "cmd",
       {R"(-p=say "hi" now)"}, ""},
      {"every trailing quote goes, an escaped one too", R"(cmd -p "say \"hi\"")", "cmd",
       {R"(-p=say "hi\)"}, ""},
      {"a braced value keeps quotes inside", R"(cmd -p {"q"})", "cmd", {"-p=q"}, ""},
      {"dashes after the first parameter are parameters", "cmd -a 1 p -b 2", "cmd", {"-a=1"},
       "p -b 2"},
      {"parameters keep braces and quotes; a blank joins tokens that had none",
       R"(cmd {a b}"c d"e)", "cmd", {}, R"({a b} "c d" e)"},
      {"an unclosed brace is one parameter", "cmd {x y", "cmd", {}, "{x y"},
      {"a quoted command word loses its quotes and escapes", R"("In\"stall" p)", "In\"stall",
       {}, "p"},
      {"braces stay on the command word", "{a b} c", "{a b}", {}, "c"},
      {"an empty quoted command ends the split", "\"\" -a 1 p", "", {}, ""},
      {"a tab is no separator", "cmd\t-a 1", "cmd\t-a", {}, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string line = c.line, command = "old", parameters = "old";
    AttrTable options(8);
    options.Set("-stale", "x");
    SplitCommand(&line, &command, &options, &parameters, 2047, 4095);
    EXPECT_EQ(command, c.command);
    EXPECT_EQ(OptionTexts(options), c.options);
    EXPECT_EQ(parameters, c.parameters);
    // The line itself is trimmed of its blanks.
    const size_t first = c.line.find_first_not_of(' ');
    EXPECT_EQ(line, first == std::string::npos
                        ? ""
                        : c.line.substr(first, c.line.find_last_not_of(' ') + 1 - first));
  }
}

TEST(CommandSplitTest, OutputsAreCutToTheCallersSizes) {
  // Tokens that touch gain a blank each, so the parameters can outgrow
  // the line; they are cut at the caller's size.
  std::string pieces;
  for (int i = 0; i < 600; ++i) pieces += "{}";
  std::string line = "cmd " + pieces;
  std::string command, parameters;
  AttrTable options(2);
  SplitCommand(&line, &command, &options, &parameters, 2, 1000);
  EXPECT_EQ(command, "cm");
  EXPECT_EQ(parameters.size(), 1000u);
  EXPECT_EQ(parameters.substr(0, 8), "{} {} {}");

  // A full table drops further options; later ones still are options.
  line = "cmd -a 1 -b 2 -c 3 -a 4 p";
  SplitCommand(&line, &command, &options, &parameters, 2047, 2047);
  EXPECT_EQ(OptionTexts(options), (std::vector<std::string>{"-a=4", "-b=2"}));
  EXPECT_EQ(parameters, "p");

  // A token longer than the working size is cut; the next one is still found.
  line = "cmd " + std::string(kCommandTokenMax + 10, 'x') + " y";
  SplitCommand(&line, &command, &options, &parameters, 2047, 10000);
  EXPECT_EQ(parameters, std::string(kCommandTokenMax, 'x') + " y");
}

}  // namespace
}  // namespace dusk
