#include "tftp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace mivo::link {
namespace {

class DiskFile final : public TftpReadFile {
 public:
  DiskFile(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}
  ~DiskFile() override { ::close(m_fd); }
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  std::uint64_t Size() const override { return m_size; }

  std::int64_t ReadAt(std::uint64_t offset, std::span<char> out) override {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n =
          ::pread(m_fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
      if (n < 0) return -1;
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
  }

 private:
  int m_fd;
  std::uint64_t m_size;
};

}  // namespace

std::unique_ptr<TftpReadFile> DiskFilePort::OpenForReading(const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<DiskFile>(fd, static_cast<std::uint64_t>(info.st_size));
}

}  // namespace mivo::link
