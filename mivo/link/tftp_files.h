#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace mivo::link {

// A file the TFTP server sends.
class TftpReadFile {
 public:
  virtual ~TftpReadFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to out.size() bytes at offset; the count read, or -1 on a read error.
  virtual std::int64_t ReadAt(std::uint64_t offset, std::span<char> out) = 0;
};

class TftpFilePort {
 public:
  virtual ~TftpFilePort() = default;
  // nullptr when the file cannot be opened for reading.
  virtual std::unique_ptr<TftpReadFile> OpenForReading(const std::string& name) = 0;
};

// Files on the local disk, names taken as given (absolute, or relative to the working
// folder); "\" in a name counts as "/".
class DiskFilePort final : public TftpFilePort {
 public:
  std::unique_ptr<TftpReadFile> OpenForReading(const std::string& name) override;
};

}  // namespace mivo::link
