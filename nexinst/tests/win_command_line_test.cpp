#include "win_command_line.h"

#include <gtest/gtest.h>

namespace nexinst {
namespace {

using Args = std::vector<std::string>;

TEST(WinCommandLineTest, SplitsAsWindowsProgramsDo) {
  struct Case {
    const char* line;
    Args arguments;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog", {"prog"}},
      {"\"C:\\Program Files\\x.exe\" -a  b", {"C:\\Program Files\\x.exe", "-a", "b"}},
      {"\"/opt/dir/tool\"  -ins \"/drv dir/a.inf\" PCI\\VEN_1",
       {"/opt/dir/tool", "-ins", "/drv dir/a.inf", "PCI\\VEN_1"}},
      {"p a\\\\b \"c\\\\\" d", {"p", "a\\\\b", "c\\", "d"}},
      {"p \\\"x\\\" \"in \\\" side\"", {"p", "\"x\"", "in \" side"}},
      {"p \"a \"\"b\"\" c\"", {"p", "a \"b\" c"}},
      {"p \"\" x", {"p", "", "x"}},
      {"p \"unterminated text", {"p", "unterminated text"}},
      {"\"unterminated program", {"unterminated program"}},
      {"p\ta\t\"b c\"d", {"p", "a", "b cd"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
}

TEST(WinCommandLineTest, JoinIsUndoneBySplit) {
  const Args cases[] = {
      {"-ins"},
      {"-LaunchApp", "prog", "two words", ""},
      {"a\"b", "c\\", "d\\\"e", "tab\there", "trailing\\\\"},
  };
  for (const Args& arguments : cases) {
    Args with_program{"prog"};
    with_program.insert(with_program.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(SplitCommandLine("prog " + JoinCommandLine(arguments)), with_program);
  }
}

}  // namespace
}  // namespace nexinst
