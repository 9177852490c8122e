#include "file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace mivo {
namespace {

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) : m_target(path) {
  std::error_code error;
  if (std::filesystem::is_symlink(path, error)) {
    m_target = std::filesystem::weakly_canonical(path, error).string();
    if (error) return;
  }
  const auto status = std::filesystem::status(m_target, error);
  const bool exists = std::filesystem::exists(status);
  if (exists && !std::filesystem::is_regular_file(status)) {
    m_fd = ::open(m_target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return;
  }
  m_temp = m_target + ".XXXXXX";
  m_fd = ::mkstemp(m_temp.data());
  if (m_fd < 0) {
    m_temp.clear();
    return;
  }
  const mode_t mode = exists
                          ? static_cast<mode_t>(status.permissions() & std::filesystem::perms::mask)
                          : NewFileMode();
  if (::fchmod(m_fd, mode) != 0) {
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.c_str());
    m_temp.clear();
  }
}

FileReplacement::~FileReplacement() {
  if (m_fd >= 0) ::close(m_fd);
  if (!m_temp.empty()) ::unlink(m_temp.c_str());
}

bool FileReplacement::Commit(std::string_view text) {
  if (m_fd < 0) return false;
  bool done = WriteAll(m_fd, text);
  done = (::close(m_fd) == 0) && done;
  m_fd = -1;
  if (m_temp.empty()) return done;
  done = done && ::rename(m_temp.c_str(), m_target.c_str()) == 0;
  if (done) m_temp.clear();  // nothing left to remove
  return done;
}

bool ReplaceFileContents(const std::string& path, std::string_view text) {
  FileReplacement file(path);
  return file.Commit(text);
}

}  // namespace mivo
