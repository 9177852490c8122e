// Runs the real mivo-cli program, as scripts do, and checks its output and status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

class MivoCliTest : public ::testing::Test {
 protected:
  MivoCliTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir =
        fs::temp_directory_path() / ("mivo-cli-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  ~MivoCliTest() override {
    std::error_code ignored;
    fs::remove_all(m_dir, ignored);
  }

  std::string Path(const std::string& name) const { return (m_dir / name).string(); }
  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }

  CliRun Cli(const std::vector<std::string>& args) const {
    std::string command = "'" MIVO_CLI_PROGRAM "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + Path("stdout") + "' 2>'" + Path("stderr") + "' </dev/null";
    const int raw = std::system(command.c_str());
    CliRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    run.out = ReadWholeFile(Path("stdout"));
    run.err = ReadWholeFile(Path("stderr"));
    return run;
  }

 private:
  fs::path m_dir;
};

const std::string kGolden = ReadWholeFile(MIVO_SETTINGS_TEST_DATA "/new_document.txt");

TEST_F(MivoCliTest, DefaultsWritesTheNewDocument) {
  const CliRun run = Cli({"defaults"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kGolden);
  EXPECT_EQ(run.err, "");

  const CliRun toFile = Cli({"defaults", "-o", Path("new.txt")});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(ReadWholeFile(Path("new.txt")), kGolden);

  const CliRun nowhere = Cli({"defaults", "-o", Path("missing/new.txt")});
  EXPECT_EQ(nowhere.status, 3);
  EXPECT_NE(nowhere.err.find("Unable to write the Configuration File \"" + Path("missing/new.txt") +
                             "\" !"),
            std::string::npos)
      << nowhere.err;
}

TEST_F(MivoCliTest, CheckReportsEveryBadLineAndKeepsTheFile) {
  const std::string text =
      "# comment\r\nProf1_SSID=ok\r\nVDPTTL=\r\nNoSuch=1\r\n\r\njust words\r\nProf1_SSID=" +
      std::string(33, 'x') + "\r\nVDPTTL=999\r\nProf1_IPaddress=192.168.1.0\r\n";
  const std::string file = WriteFile("PhoneCNF.txt", text);
  const CliRun run = Cli({"check", file});
  EXPECT_EQ(run.status, 1);
  const std::string expected =
      file + ":3: error 202: Setting value is not available.: VDPTTL=\n" + file +
      ":4: error 201: Unknown setting parameter.: NoSuch=1\n" + file +
      ":6: error 203: No equal sign '=' between setting parameter and setting value.: just "
      "words\n" +
      file + ":7: error 1: String length is too long.: Prof1_SSID=" + std::string(33, 'x') + "\n" +
      file + ":8: error 2: Number is out of range.: VDPTTL=999\n" + file +
      ":9: error 3: Incorrect IP address format.: Prof1_IPaddress=192.168.1.0\n" + file +
      ": 6 bad lines\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(ReadWholeFile(file), text);

  const CliRun clean = Cli({"check", WriteFile("good.txt", kGolden)});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.out, Path("good.txt") + ": 0 bad lines\n");
}

TEST_F(MivoCliTest, UnreadableFilesGiveAMessageAndStatus3) {
  struct Case {
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {Path("missing.txt"), "Unable to read the Configuration File !"},
      {WriteFile("big.txt", std::string(30720, '\n')),
       "Configuration file size exceeds the internal buffer (30KBytes) !"},
      {WriteFile("nul.txt", std::string("VDP=Enable\r\n\0\r\n", 15)), "contains a zero byte"},
  };
  for (const Case& c : cases) {
    for (const char* command : {"check", "normalize"}) {
      const CliRun run = Cli({command, c.file});
      EXPECT_EQ(run.status, 3) << command << " " << c.file;
      EXPECT_EQ(run.out, "") << command;
      EXPECT_NE(run.err.find("mivo-cli: " + c.file + ": "), std::string::npos) << run.err;
      EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
  }
  // One byte less than the buffer is still read.
  const CliRun fits = Cli({"check", WriteFile("fits.txt", std::string(30719, '\n'))});
  EXPECT_EQ(fits.status, 0) << fits.err;
}

TEST_F(MivoCliTest, PhoneBookCountOutOfRangeIsABadLine) {
  std::string text = "PhBook_Count=9999\r\n";
  for (int record = 0; record < 150; ++record) text += "PhBook_Name=n\r\nPhBook_EmailAddr=e\r\n";
  const std::string file = WriteFile("book.txt", text);
  const CliRun check = Cli({"check", file});
  EXPECT_EQ(check.status, 1);
  EXPECT_EQ(check.out, file + ":1: error 2: Number is out of range.: PhBook_Count=9999\n" + file +
                           ": 1 bad line\n");
  const CliRun normalize = Cli({"normalize", file});
  EXPECT_EQ(normalize.status, 0);
  EXPECT_TRUE(normalize.out.ends_with("\r\nPhBook_Count=0\r\n")) << normalize.out;
}

TEST_F(MivoCliTest, CheckSurvivesBinaryGarbage) {
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage += static_cast<char>(1 + (i * 37 + i / 7) % 255);
  const CliRun run = Cli({"check", WriteFile("garbage.bin", garbage)});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("bad lines\n"), std::string::npos);
}

TEST_F(MivoCliTest, NormalizeWritesAsSaveAndReportsBadLines) {
  const std::string file = WriteFile(
      "in.txt", "# comment\r\nvdp = disable\r\nVDPTTL=abc\r\nprof1_ssid= Office Net \r\n");
  const CliRun run = Cli({"normalize", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, file + ":3: error 202: Setting value is not available.: VDPTTL=abc\n");
  EXPECT_NE(run.out.find("\r\nVDP=Disable\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("\r\nProf1_SSID=Office Net\r\n"), std::string::npos);
  EXPECT_NE(run.out.find("\r\nVDPTTL=180\r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("comment"), std::string::npos);

  const CliRun toFile = Cli({"normalize", file, "-o", Path("out.txt")});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_EQ(toFile.out, "");
  EXPECT_EQ(ReadWholeFile(Path("out.txt")), run.out);
  EXPECT_EQ(ReadWholeFile(file).substr(0, 11), "# comment\r\n");  // input untouched
}

TEST_F(MivoCliTest, NormalizeSaysWhereThePhoneBookEndedTheLoad) {
  const std::string file =
      WriteFile("in.txt",
                "PhBook_Count=1\r\nPhBook_Name=Ann\r\nPhBook_EmailAddr=a\r\n\r\n"
                "PhBook_Name=Bob\r\nVDPTTL=5\r\n");
  const CliRun run = Cli({"normalize", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "mivo-cli: " + file +
                         ":5: phone book line beyond PhBook_Count; this line and the rest of the "
                         "file are not read\n");
  EXPECT_NE(run.out.find("\r\nPhBook_Name=Ann\r\n"), std::string::npos);
  EXPECT_EQ(run.out.find("Bob"), std::string::npos);
  EXPECT_NE(run.out.find("\r\nVDPTTL=180\r\n"), std::string::npos);
}

TEST_F(MivoCliTest, CheckStopsWhereTheExportCheckStops) {
  const std::string file =
      WriteFile("in.txt",
                "PhBook_Count=1\r\nPhBook_Name=Ann\r\nPhBook_EmailAddr=a\r\n\r\n"
                "PhBook_Name=Bob\r\nVDPTTL=x\r\n");
  const CliRun run = Cli({"check", file});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, file + ": 0 bad lines\n");
  EXPECT_EQ(run.err, "mivo-cli: " + file +
                         ":5: phone book line beyond PhBook_Count; this line and the rest of the "
                         "file are not checked\n");
}

TEST_F(MivoCliTest, StrictNormalizeStopsAndWritesNothing) {
  const std::string file = WriteFile("in.txt", "VDP=Disable\r\nVDPTTL=abc\r\nVDPTTL=5\r\n");
  const CliRun run = Cli({"normalize", "--strict", file, "-o", Path("out.txt")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(":2: error 202"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("nothing written"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(Path("out.txt")));

  const CliRun clean = Cli({"normalize", "--strict", WriteFile("good.txt", kGolden)});
  EXPECT_EQ(clean.status, 0);
  EXPECT_EQ(clean.out, kGolden);
}

TEST_F(MivoCliTest, HelpAndUsageErrors) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* inOutput;
  };
  const Case cases[] = {
      {{"--help"}, 0, "Subcommands:"},
      {{"defaults", "--help"}, 0, "Usage: mivo-cli defaults"},
      {{"check", "--help"}, 0, "Usage: mivo-cli check"},
      {{"normalize", "--help"}, 0, "--strict"},
      {{}, 2, "A subcommand is required"},
      {{"check"}, 2, "FILE is required"},
      {{"normalize", "a", "b"}, 2, ""},
      {{"defaults", "--bogus"}, 2, ""},
      {{"frobnicate"}, 2, ""},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, c.status) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_NE((run.out + run.err).find(c.inOutput), std::string::npos) << run.out << run.err;
  }
}

TEST_F(MivoCliTest, ExampleFileIsCleanAndNormalizes) {
  const std::string example = MIVO_EXAMPLES "/PhoneCNF.txt";
  const std::string before = ReadWholeFile(example);
  const CliRun check = Cli({"check", example});
  EXPECT_EQ(check.status, 0) << check.out;
  const CliRun normalize = Cli({"normalize", example});
  EXPECT_EQ(normalize.status, 0) << normalize.err;
  EXPECT_EQ(normalize.err, "");
  EXPECT_EQ(normalize.out, ReadWholeFile(MIVO_CLI_TEST_DATA "/PhoneCNF.normalized.txt"));
  EXPECT_EQ(ReadWholeFile(example), before);
  // Normalizing is idempotent.
  const CliRun again = Cli({"normalize", WriteFile("once.txt", normalize.out)});
  EXPECT_EQ(again.out, normalize.out);
}

}  // namespace
