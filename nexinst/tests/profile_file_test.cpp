#include "profile_file.h"

#include <gtest/gtest.h>

namespace nexinst {
namespace {

TEST(ProfileFileTest, ReadsAsThePrivateProfileReaderDoes) {
  std::string long_value(200, 'v');
  ProfileFile profile = ProfileFile::Parse(
      "; comment\n"
      "[Hardware_ID_List]\n"
      "1 = pci\\ven_1114 ; not a comment\n"
      "1=second one is ignored\n"
      "  2=  usb\\vid_1  \n"
      "[INFO]\n"
      "Long=" +
      long_value +
      "\n"
      "# another comment\n"
      "broken line\n"
      "Empty=\n"
      "Quoted = \"netcard.inf\" \n"
      "Single='TRUE'\n"
      "Inner=a \"b\" c\n"
      "Mixed=\"open'\n"
      "Lone=\"\n"
      "[info]\n"
      "Later=yes\n");
  EXPECT_EQ(profile.Get("HARDWARE_ID_LIST", "1"), "pci\\ven_1114 ; not a comment");
  EXPECT_EQ(profile.Get("hardware_id_list", "2"), "usb\\vid_1");
  EXPECT_EQ(profile.Get("Info", "LONG"), std::string(128, 'v'));
  EXPECT_EQ(profile.Get("INFO", "Empty"), "");
  EXPECT_EQ(profile.Get("INFO", "Later"), "yes");
  EXPECT_EQ(profile.Get("INFO", "Quoted"), "netcard.inf");
  EXPECT_EQ(profile.Get("INFO", "Single"), "TRUE");
  EXPECT_EQ(profile.Get("INFO", "Inner"), "a \"b\" c");
  EXPECT_EQ(profile.Get("INFO", "Mixed"), "\"open'");
  EXPECT_EQ(profile.Get("INFO", "Lone"), "\"");
  EXPECT_EQ(profile.Get("INFO", "Missing"), "");
  EXPECT_EQ(profile.Get("Missing", "1"), "");
}

}  // namespace
}  // namespace nexinst
