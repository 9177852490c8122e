#pragma once

#include <string>
#include <string_view>

namespace mivo {

// Replaces the contents of a file so that a failure part-way (a full disk, a
// file size limit) leaves the earlier file whole.
//
// A regular file (or a missing one) is replaced through a temporary file in
// the same folder that is renamed over it; the earlier file's permission bits
// are kept, and a symbolic link is followed so the link itself stays. Anything
// that is not a regular file (a device, a pipe) is written in place.
//
// The temporary file is made by the constructor, so a caller can learn that
// the file cannot be written before it does any other work; it is removed
// again unless Commit succeeds.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False when the file cannot be written at all (no folder, no permission).
  bool IsOpen() const { return m_fd >= 0; }

  // Writes `text` and puts it in place of the earlier file. Returns false when
  // writing or renaming failed; the file at the path is then as it was (for a
  // file written in place, possibly cut). Call at most once.
  bool Commit(std::string_view text);

 private:
  std::string m_target;
  std::string m_temp;  // empty when writing in place
  int m_fd = -1;
};

// FileReplacement in one call: false when the file could not be created,
// written or renamed; the caller reports it.
bool ReplaceFileContents(const std::string& path, std::string_view text);

}  // namespace mivo
