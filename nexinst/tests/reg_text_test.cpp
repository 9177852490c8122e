#include "reg_text.h"

#include <gtest/gtest.h>

namespace nexinst {
namespace {

constexpr char kSample[] =
    "REGEDIT4\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trevo\\Card]\n"
    "@=\"default\"\n"
    "\"Text\"=\"a \\\"quoted\\\" c:\\\\path\"\n"
    "\"Count\"=dword:0000000f\n"
    "\"Blob\"=hex:01,02,ff\n"
    "\"Short\"=hex(1):31,35,00,00\n"
    "\"Empty\"=hex(1):\n"
    "\"Multi\"=hex(7):61,00,62,00,00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trevo\\Card\\Empty Key]\n"
    "\n"
    "[HKEY_CURRENT_USER\\Software\\Other]\n"
    "\"Kept\"=\"yes\"\n"
    "\n";

TEST(RegTextTest, ParsesEveryValueFormAndWritesItBackUnchanged) {
  RegTextError error;
  std::unique_ptr<RegKey> top = ParseRegText(kSample, &error);
  ASSERT_TRUE(top) << error.line << ": " << error.reason;
  RegistryTree tree(std::move(top));
  const std::string key = "software\\TREVO\\card";
  EXPECT_EQ(tree.QueryValue(key, ""), RegValue::String("default"));
  EXPECT_EQ(tree.QueryValue(key, "text"), RegValue::String("a \"quoted\" c:\\path"));
  EXPECT_EQ(tree.QueryValue(key, "COUNT"), RegValue::Dword(15));
  EXPECT_EQ(tree.QueryValue(key, "Blob"), (RegValue{kRegBinary, {1, 2, 0xff}}));
  EXPECT_EQ(tree.QueryValue(key, "Short"), RegValue::FixedString("15", 4));
  EXPECT_EQ(tree.QueryValue(key, "Multi"), (RegValue{kRegMultiSz, {'a', 0, 'b', 0, 0}}));
  EXPECT_TRUE(tree.KeyExists("SOFTWARE\\Trevo\\Card\\Empty Key"));
  EXPECT_EQ(tree.SubKeys("Software\\Trevo"), std::vector<std::string>{"Card"});
  EXPECT_EQ(WriteRegText(tree.top()), kSample);
}

TEST(RegTextTest, LongHexListsWrapAndReadBack) {
  RegistryTree tree;
  tree.CreateKey("K");
  tree.SetValue("K", "Padded", RegValue::FixedString("5Ghz + 2.4Ghz", 32));
  tree.SetValue("K", "Bytes", RegValue{kRegBinary, std::vector<uint8_t>(100, 0xab)});
  std::string text = WriteRegText(tree.top());
  EXPECT_NE(text.find("\\\n  "), std::string::npos);
  std::unique_ptr<RegKey> again = ParseRegText(text, nullptr);
  ASSERT_TRUE(again);
  EXPECT_EQ(WriteRegText(*again), text);
  RegistryTree reread(std::move(again));
  EXPECT_EQ(reread.QueryValue("k", "padded"), RegValue::FixedString("5Ghz + 2.4Ghz", 32));
}

TEST(RegTextTest, ReportsTheFirstBadLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"", 0},
      {"Windows Registry Editor Version 5.00\n", 1},
      {"REGEDIT4\n\"a\"=\"b\"\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:123\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:1,2\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a\"=hex:01,\\\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"a=\"b\"\n", 3},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\A]\n", 2},
  };
  for (const Case& c : cases) {
    RegTextError error;
    EXPECT_EQ(ParseRegText(c.text, &error), nullptr) << c.text;
    if (c.line > 0) {
      EXPECT_EQ(error.line, c.line) << c.text;
    }
  }
}

TEST(RegistryTreeTest, NamesCompareIgnoringCaseAndKeepTheirCase) {
  RegistryTree tree;
  int stores = 0;
  tree.SetStore([&](const RegKey&) {
    ++stores;
    return true;
  });
  EXPECT_TRUE(tree.CreateKey("Software\\Trevo"));
  EXPECT_TRUE(tree.CreateKey("SOFTWARE\\TREVO\\Sub"));
  EXPECT_TRUE(tree.SetValue("software\\trevo", "Name", RegValue::Dword(1)));
  EXPECT_TRUE(tree.SetValue("SOFTWARE\\TREVO", "NAME", RegValue::Dword(2)));
  EXPECT_EQ(tree.Values("Software\\Trevo")->size(), 1u);
  EXPECT_EQ(tree.Values("Software\\Trevo")->front().first, "Name");
  EXPECT_FALSE(tree.SetValue("Software\\Missing", "x", RegValue::Dword(1)));
  EXPECT_EQ(tree.DeleteKey("software\\TREVO"), 0);
  EXPECT_EQ(tree.DeleteKey("software\\TREVO"), 2);
  EXPECT_FALSE(tree.KeyExists("Software\\Trevo\\Sub"));
  EXPECT_EQ(stores, 5);
}

}  // namespace
}  // namespace nexinst
