#include "root_host.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace nexinst {
namespace {

namespace fs = std::filesystem;

class RootHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nexinst-root-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_root = pattern;
  }
  void TearDown() override { fs::remove_all(m_root); }

  void Write(const std::string& relative, const std::string& text) {
    fs::create_directories((m_root / relative).parent_path());
    std::ofstream(m_root / relative) << text;
  }
  std::unique_ptr<RootHost> Open(std::string* error) {
    return RootHost::Open({m_root.string(), (m_root / "program/nexinst").string(), 0.0}, error);
  }

  fs::path m_root;
};

TEST_F(RootHostTest, ResolvesPathsIgnoringCaseAndBackslashes) {
  Write("Windows/inf/Oem1.PNF", "x");
  std::string root = m_root.string();
  EXPECT_EQ(ResolvePathNoCase(root + "\\WINDOWS\\INF\\oem1.pnf"), root + "/Windows/inf/Oem1.PNF");
  EXPECT_EQ(ResolvePathNoCase(root + "/Windows/INF/missing.inf"),
            root + "/Windows/inf/missing.inf");
}

TEST_F(RootHostTest, RefusesAMalformedRootAndChangesNothing) {
  struct Case {
    const char* file;
    const char* text;
    const char* error_part;
  };
  const Case cases[] = {
      {"registry.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=dword:1\n", "registry.reg:3:"},
      {"system.ini", "[System]\nFamily=OS/2\n", "Family"},
      {"system.ini", "[System]\nDefaultLangID=0x10000\n", "DefaultLangID"},
  };
  for (const Case& c : cases) {
    fs::remove(m_root / "registry.reg");
    fs::remove(m_root / "system.ini");
    Write(c.file, c.text);
    std::string error;
    EXPECT_EQ(Open(&error), nullptr) << c.text;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << error;
  }
}

TEST_F(RootHostTest, StoresEveryRegistryChangeAndReadsSystemFacts) {
  Write("system.ini",
        "[system]\nfamily=9x\nversion=4.10\ndefaultlangid=0x0C0C\nWindowsDirectory=WIN\\\n");
  std::string error;
  std::unique_ptr<RootHost> host = Open(&error);
  ASSERT_TRUE(host) << error;
  EXPECT_EQ(host->System().family, WindowsFamily::k9x);
  EXPECT_EQ(host->System().minor, 10);
  EXPECT_EQ(host->System().default_lang_id, 0x0C0C);
  EXPECT_EQ(host->WindowsDirectory(), m_root.string() + "/WIN");
  ASSERT_TRUE(host->registry().CreateKey("SOFTWARE\\Trevo"));
  ASSERT_TRUE(
      host->registry().SetValue("SOFTWARE\\Trevo", "NetBand", RegValue::FixedString("12", 4)));
  std::ifstream in(m_root / "registry.reg");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(
      text,
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Trevo]\n\"NetBand\"=hex(1):31,32,00,00\n\n");
}

TEST_F(RootHostTest, ScaledPausesStillAdvanceTheClock) {
  std::string error;
  std::unique_ptr<RootHost> host = Open(&error);
  ASSERT_TRUE(host);
  int64_t before = host->TickMs();
  host->Pause(50000);
  EXPECT_GE(host->TickMs() - before, 50000);
  EXPECT_LT(host->TickMs() - before, 55000);
}

TEST_F(RootHostTest, RunsProgramsAndReportsTheirExitCodes) {
  std::string error;
  std::unique_ptr<RootHost> host = Open(&error);
  ASSERT_TRUE(host);
  std::optional<ProcessId> quick = host->Start("sh -c \"exit 7\"", /*hidden=*/true);
  ASSERT_TRUE(quick);
  EXPECT_TRUE(host->WaitForExit(*quick, 10000));
  EXPECT_EQ(host->ExitCode(*quick), 7u);

  std::optional<ProcessId> slow = host->Start("sleep 30", /*hidden=*/true);
  ASSERT_TRUE(slow);
  EXPECT_FALSE(host->WaitForExit(*slow, 20));
  EXPECT_EQ(host->ExitCode(*slow), kStillActive);
  kill(*slow, SIGKILL);
  EXPECT_TRUE(host->WaitForExit(*slow, 10000));

  EXPECT_FALSE(host->Start("no-such-program-here /x", true));
  EXPECT_FALSE(host->Start("\"" + m_root.string() + "/missing.exe\"", true));
  EXPECT_FALSE(host->Start("   ", true));
}

}  // namespace
}  // namespace nexinst
