#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace mivo::testing {

// A folder of its own for each test (test programs run in parallel), removed at the end.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() /
             ("mivo-settings-" + std::to_string(getpid()) + "-" + info->test_suite_name() + "-" +
              info->name());
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const { return (m_path / name).string(); }

  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace mivo::testing
