#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nexinst {

// Registry value types as the registry stores them.
enum RegType : uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
};

// One registry value: its type and its exact bytes (a string keeps its
// terminating zero, so a 4-byte and a 32-byte write of "15" differ).
struct RegValue {
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;

  // The text and one zero byte.
  static RegValue String(std::string_view text);
  // The text, then zero bytes up to `size` bytes (the text is cut when longer).
  static RegValue FixedString(std::string_view text, size_t size);
  static RegValue Dword(uint32_t number);

  // The bytes up to the first zero byte, at most `max_bytes` of them.
  std::string AsText(size_t max_bytes = SIZE_MAX) const;
  // The first four bytes little-endian; nullopt when there are fewer.
  std::optional<uint32_t> AsDword() const;

  friend bool operator==(const RegValue&, const RegValue&) = default;
};

// The part of the registry this program uses: HKEY_LOCAL_MACHINE. Paths are
// relative to it, components separated by one backslash; key and value names
// compare ignoring case and keep the case they were created with. The empty
// value name is the key's default value.
class Registry {
 public:
  virtual ~Registry() = default;

  virtual bool KeyExists(std::string_view path) const = 0;
  // Creates the key and its missing parents; false when the path is empty.
  virtual bool CreateKey(std::string_view path) = 0;
  // Subkey names in their stored order; nullopt when the key does not exist.
  virtual std::optional<std::vector<std::string>> SubKeys(std::string_view path) const = 0;
  // Values in their stored order; nullopt when the key does not exist.
  virtual std::optional<std::vector<std::pair<std::string, RegValue>>> Values(
      std::string_view path) const = 0;
  // nullopt when the key or the value does not exist.
  virtual std::optional<RegValue> QueryValue(std::string_view path,
                                             std::string_view name) const = 0;
  // Writes (creates or replaces) a value of an existing key; false when the key
  // does not exist or the change could not be stored.
  virtual bool SetValue(std::string_view path, std::string_view name, const RegValue& value) = 0;
  // False when the key or the value does not exist.
  virtual bool DeleteValue(std::string_view path, std::string_view name) = 0;
  // Deletes the key with everything below it. Returns 0 on success, 2 when
  // the key does not exist, 5 when it could not be stored.
  virtual long DeleteKey(std::string_view path) = 0;
};

enum class WindowsFamily { k9x, kNT };

struct SystemFacts {
  WindowsFamily family = WindowsFamily::kNT;
  int major = 5;
  int minor = 1;
  uint16_t default_lang_id = 0x0409;
};

// Identifies a started program for WaitForExit and ExitCode.
using ProcessId = int;

inline constexpr uint32_t kStillActive = 259;

// Run state codes of a service.
inline constexpr uint32_t kServiceStopped = 1;
inline constexpr uint32_t kServiceRunning = 4;

// Everything of the machine that the install control program reaches. The
// program has one thread; every call blocks until done.
class Host {
 public:
  virtual ~Host() = default;

  virtual Registry& registry() = 0;
  virtual SystemFacts System() const = 0;
  // The full path of the running program file.
  virtual std::string ProgramPath() const = 0;
  // The Windows directory without a trailing separator; nullopt when unknown.
  virtual std::optional<std::string> WindowsDirectory() const = 0;

  // A value of a profile (.ini) file; sections and keys compare ignoring case;
  // values are cut to 128 characters. Empty when the file, section or key is
  // missing.
  virtual std::string ReadProfileString(std::string_view file, std::string_view section,
                                        std::string_view key) = 0;

  // Debugger output.
  virtual void Trace(std::string_view text) = 0;

  // Waits `ms` milliseconds without handling anything else.
  virtual void Pause(int ms) = 0;
  // Milliseconds since some fixed moment; pauses count in full.
  virtual int64_t TickMs() = 0;

  // Starts a command line (split as the Windows command line would be); a
  // program name without a separator is looked up through PATH. nullopt when
  // it could not be started. `hidden` selects no window and no console.
  virtual std::optional<ProcessId> Start(std::string_view command_line, bool hidden) = 0;
  // Waits up to `ms` milliseconds; true once the program has ended.
  virtual bool WaitForExit(ProcessId process, int ms) = 0;
  // The program's exit code, kStillActive while it runs; nullopt when unknown.
  virtual std::optional<uint32_t> ExitCode(ProcessId process) = 0;

  // A plain message box: caption and text.
  virtual void MessageBox(std::string_view caption, std::string_view text) = 0;
  // Shows a window of text lines with a caption and an OK button.
  virtual void ShowTextWindow(std::string_view caption, const std::vector<std::string>& lines) = 0;
  // Asks a Yes/No question shown as caption and lines; true only for Yes.
  virtual bool AskYesNo(std::string_view caption, const std::vector<std::string>& lines) = 0;
  // Registers a window message by name and sends it to all top-level
  // windows; false when the message could not be registered.
  virtual bool BroadcastMessage(std::string_view message_name) = 0;

  // Files. Paths use '/' (a '\\' in a stored path counts as a separator).
  virtual bool FileExists(std::string_view path) = 0;
  // Names (not paths) of the plain files in `dir` whose extension equals
  // `extension` ignoring case ("inf"); empty when the folder cannot be read.
  virtual std::vector<std::string> ListFiles(std::string_view dir, std::string_view extension) = 0;
  // Size in bytes; nullopt when the file cannot be opened.
  virtual std::optional<uint64_t> FileSize(std::string_view path) = 0;
  // At most `max_bytes` from the start; nullopt when the file cannot be read.
  virtual std::optional<std::vector<uint8_t>> ReadFileStart(std::string_view path,
                                                            size_t max_bytes) = 0;
  virtual bool DeleteFile(std::string_view path) = 0;

  // The service table. nullopt results mean the service manager could not be
  // opened (`manager_ok` false) or the service does not exist.
  virtual bool ServiceManagerAvailable() = 0;
  virtual bool LockServiceDatabase() = 0;
  virtual void UnlockServiceDatabase() = 0;
  virtual std::optional<uint32_t> ServiceState(std::string_view service) = 0;
  virtual bool SetServiceStartType(std::string_view service, uint32_t start_type) = 0;
};

}  // namespace nexinst
