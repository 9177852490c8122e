// Golden scenarios: each folder under scenarios/ is a whole machine root plus
// a command line. The real nexinst program runs on a copy of it; its exit
// code, stdout, stderr, the resulting registry.reg, the programs it ran
// (calls.log) and the files left in the root are compared with the files in
// the scenario's expected/ folder.
//
// Scenario folder:
//   args          the arguments, one per line
//   stdin         optional: what the program reads on stdin (else nothing)
//   root/         the machine: registry.reg ($ROOT in it stands for the
//                 root's path), system.ini, services.ini, program/install.ini,
//                 Windows/..., bin/ (first on PATH)
//   expected/     exit_code, stdout, stderr, registry.reg, services.ini,
//                 calls.log, files (the files left, apart from those compared)
//
// The runner puts nexinst into root/program/ and the fake tool
// (fake_tool.sh) at root/program/drvhelpnt.exe, root/program/drvhelpcl.exe
// and root/bin/net unless the scenario brings its own; an empty file named
// "<program>.fake" in a scenario becomes the fake tool "<program>". The root's
// path shows as $ROOT in the compared texts. Pauses are scaled to 0.
//
// NEXINST_REGENERATE=1 writes the actual results into expected/ instead of
// comparing; review the diff before committing it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kScenarios = NEXINST_SCENARIO_DIR;
const fs::path kFakeTool = NEXINST_FAKE_TOOL;
const fs::path kProgram = NEXINST_PROGRAM;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos)) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

std::vector<std::string> ScenarioNames() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kScenarios)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Files the runner put into the root; the compared file list leaves them out.
std::vector<fs::path> g_placed;

void PlaceFakeTool(const fs::path& path) {
  g_placed.push_back(path);
  fs::create_directories(path.parent_path());
  fs::remove(path);
  fs::copy_file(kFakeTool, path);
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
}

struct Result {
  std::string exit_code, stdout_text, stderr_text, registry, services, calls, files;
};

class GoldenScenario : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nexinst-golden-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_work = pattern;
    m_root = m_work / "root";
    m_scenario = kScenarios / GetParam();
    g_placed.clear();
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(m_work, error);
  }

  void PrepareRoot() {
    fs::create_directories(m_root);
    if (fs::exists(m_scenario / "root")) {
      fs::copy(m_scenario / "root", m_root, fs::copy_options::recursive);
    }
    for (fs::path tool :
         {m_root / "program/drvhelpnt.exe", m_root / "program/drvhelpcl.exe", m_root / "bin/net"}) {
      if (!fs::exists(tool)) PlaceFakeTool(tool);
    }
    // Fake programs that a scenario names "<program>.fake" become "<program>".
    std::vector<fs::path> fakes;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
      if (entry.path().extension() == ".fake") fakes.push_back(entry.path());
    }
    for (const fs::path& fake : fakes) {
      fs::path target = fake;
      PlaceFakeTool(target.replace_extension());
      fs::remove(fake);
    }
    // A registry may name files in the root: $ROOT stands for its path.
    fs::path registry = m_root / "registry.reg";
    if (fs::exists(registry)) {
      WriteText(registry, ReplaceAll(ReadText(registry), "$ROOT", m_root.string()));
    }
    fs::path program = m_root / "program/nexinst";
    std::error_code error;
    fs::create_hard_link(kProgram, program, error);
    if (error) fs::copy_file(kProgram, program);
  }

  int RunProgram() {
    std::vector<std::string> arguments{(m_root / "program/nexinst").string()};
    std::istringstream lines(ReadText(m_scenario / "args"));
    for (std::string line; std::getline(lines, line);) arguments.push_back(line);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<std::string> environment{"NEXINST_ROOT=" + m_root.string(), "NEXINST_WAIT_SCALE=0",
                                         "PATH=" + (m_root / "bin").string() + ":/usr/bin:/bin"};
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
      if (const char* value = std::getenv(name))
        environment.push_back(std::string(name) + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    fs::path input = fs::exists(m_scenario / "stdin") ? m_scenario / "stdin" : "/dev/null";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (m_work / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (m_work / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }

  Result Collect(int exit_code) {
    auto clean = [&](const std::string& text) {
      return ReplaceAll(text, m_root.string(), "$ROOT");
    };
    Result result;
    result.exit_code = std::to_string(exit_code) + "\n";
    result.stdout_text = clean(ReadText(m_work / "stdout"));
    result.stderr_text = clean(ReadText(m_work / "stderr"));
    result.registry = clean(ReadText(m_root / "registry.reg"));
    result.services = ReadText(m_root / "services.ini");
    result.calls = clean(ReadText(m_root / "calls.log"));
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(m_root)) {
      std::string relative = fs::relative(entry.path(), m_root).string();
      bool placed = std::find(g_placed.begin(), g_placed.end(), entry.path()) != g_placed.end();
      if (!entry.is_regular_file() || placed || relative == "program/nexinst" ||
          relative == "calls.log" || relative == "registry.reg" ||
          relative.starts_with("exit_codes/")) {
        continue;
      }
      files.push_back(relative + "\n");
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) result.files += file;
    return result;
  }

  fs::path m_work, m_root, m_scenario;
};

TEST_P(GoldenScenario, MatchesExpectedFiles) {
  PrepareRoot();
  Result actual = Collect(RunProgram());
  const std::pair<const char*, const std::string*> outputs[] = {
      {"exit_code", &actual.exit_code},   {"stdout", &actual.stdout_text},
      {"stderr", &actual.stderr_text},    {"registry.reg", &actual.registry},
      {"services.ini", &actual.services}, {"calls.log", &actual.calls},
      {"files", &actual.files},
  };
  fs::path expected = m_scenario / "expected";
  const char* regenerate = std::getenv("NEXINST_REGENERATE");
  if (regenerate && std::string(regenerate) == "1") {
    fs::create_directories(expected);
    for (const auto& [name, text] : outputs) {
      if (text->empty()) {
        fs::remove(expected / name);
      } else {
        WriteText(expected / name, *text);
      }
    }
    return;
  }
  for (const auto& [name, text] : outputs) {
    EXPECT_EQ(ReadText(expected / name), *text) << "scenario " << GetParam() << ", " << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenScenario, ::testing::ValuesIn(ScenarioNames()),
                         [](const ::testing::TestParamInfo<std::string>& scenario) {
                           std::string name = scenario.param;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                               '_');
                           return name;
                         });

}  // namespace
