#include "config_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>

#include "file_replace.h"
#include "phone_settings.h"
#include "settings_messages.h"
#include "settings_ui.h"

namespace mivo {
namespace {

constexpr size_t kPieceSize = 512;
constexpr int kBufferKBytes = static_cast<int>(kSettingsBufferSize / 1024);

void Warn(SettingsUi& ui, const std::string& text) {
  ui.ShowMessage(text, kWarningCaption, MessageIcon::kWarning);
}

int32_t DecimalOf(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(std::numeric_limits<int32_t>::max(), value * 10 + (c - '0'));
    // value stays at most INT32_MAX, so value * 10 + 9 fits in 64 bits.
  }
  return static_cast<int32_t>(value);
}

bool IsPhoneBookRecordRow(int row) {
  return row >= kRowPhBookFirst && row < kRowPhBookFirst + kRowsPerRecord;
}

// Phone book bookkeeping of one load.
struct PhoneBookCursor {
  int32_t count = 0;        // the value of the last PhBook_Count line
  int32_t recordsDone = 0;  // records whose PhBook_EmailAddr line was stored
};

enum class StoreStep { kStored, kStop };

// Stores one parsed line (with `store` false only counts it, as the export check
// does); phone book names go to the record being read. A phone book line once the
// records done reach the count ends the load. Lines of records past the 100th have
// no slot and are ignored.
StoreStep StoreParsedLine(PhoneSettings& settings, int row, const ParsedSettingLine& parsed,
                          PhoneBookCursor& phoneBook, bool store = true) {
  if (IsPhoneBookRecordRow(row)) {
    if (phoneBook.recordsDone >= phoneBook.count) return StoreStep::kStop;
    if (phoneBook.recordsDone >= kPhoneBookRecords) return StoreStep::kStored;
    const int target = row + kRowsPerRecord * phoneBook.recordsDone;
    if (row == kRowPhBookFirst + kRowsPerRecord - 1) ++phoneBook.recordsDone;
    if (store) settings.StoreValue(target, parsed.value, parsed.itemIndex);
    return StoreStep::kStored;
  }
  if (store) settings.StoreValue(row, parsed.value, parsed.itemIndex);
  return StoreStep::kStored;
}

}  // namespace

bool CheckFile(const std::string& path, SettingsUi& ui) {
  std::error_code error;
  std::ifstream file(path, std::ios::binary);
  if (!file || std::filesystem::is_directory(path, error)) {
    Warn(ui, std::string(messages::kUnableToRead));
    return false;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < 0) {
    Warn(ui, std::string(messages::kUnableToRead));
    return false;
  }
  if (static_cast<size_t>(length) >= kSettingsBufferSize) {
    Warn(ui, messages::Format(messages::kFileTooLarge, kBufferKBytes));
    return false;
  }
  return true;
}

std::optional<size_t> ReadFile(const std::string& path, SettingsBuffer& buffer, SettingsUi& ui) {
  if (!CheckFile(path, ui)) return std::nullopt;
  buffer.Clear();
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    Warn(ui, std::string(messages::kUnableToRead));
    return std::nullopt;
  }
  // Read in pieces until one comes back short; never past the buffer's text capacity
  // (the file may have grown since it was checked).
  auto bytes = buffer.Bytes();
  size_t length = 0;
  while (length < SettingsBuffer::kCapacity) {
    const size_t want = std::min(kPieceSize, SettingsBuffer::kCapacity - length);
    file.read(bytes.data() + length, static_cast<std::streamsize>(want));
    const auto got = static_cast<size_t>(file.gcount());
    length += got;
    if (got < want) break;
  }
  if (length == SettingsBuffer::kCapacity && file.peek() != std::ifstream::traits_type::eof()) {
    buffer.Clear();
    Warn(ui, messages::Format(messages::kFileTooLarge, kBufferKBytes));
    return std::nullopt;
  }
  if (std::find(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length), '\0') !=
      bytes.begin() + static_cast<std::ptrdiff_t>(length)) {
    buffer.Clear();
    Warn(ui, messages::Format(messages::kZeroByteInFile, path.c_str()));
    return std::nullopt;
  }
  return length;
}

namespace {

// One run of the loader over the settings buffer. Edits of the buffer (removed and
// corrected lines) restart reading at the edited line's start.
class BufferLoader {
 public:
  BufferLoader(PhoneSettings& settings, LoadMode mode, SettingsBuffer& buffer, SettingsUi& ui)
      : m_settings(settings), m_mode(mode), m_buffer(buffer), m_ui(ui), m_text(buffer.Text()) {}

  LoadOutcome Run(int* stoppedAtLine) {
    while (NextLine(m_text, m_position, m_line)) {
      const int row = ParseLine(m_line.text, m_settings, m_parsed);
      if (row == kRowPhBookCount) m_phoneBook.count = DecimalOf(m_parsed.value);
      if (row == kParseComment) continue;
      std::optional<LoadOutcome> end;
      if (m_mode == LoadMode::kImport) {
        end = ImportLine(row);
      } else if (m_parsed.code == kCheckAccepted) {
        // Export mode stores nothing but follows the phone book records all the same,
        // so it stops where open mode stops.
        if (Store(row, m_mode == LoadMode::kOpen) == StoreStep::kStop) {
          end = LoadOutcome::kStoppedAtPhoneBook;
        }
      } else {
        end = AskUser();
      }
      if (end) {
        if (*end == LoadOutcome::kStoppedAtPhoneBook && stoppedAtLine != nullptr) {
          *stoppedAtLine = LineNumberAt(m_text, m_line.start);
        }
        return *end;
      }
    }
    return LoadOutcome::kCompleted;
  }

 private:
  StoreStep Store(int row, bool store = true) {
    return StoreParsedLine(m_settings, row, m_parsed, m_phoneBook, store);
  }

  // Replaces the current line (with its line end) by `text` and reads on from there.
  bool ReplaceLine(std::string_view text) {
    if (!m_buffer.Replace(m_line.start, m_line.breakEnd - m_line.start, text)) return false;
    m_text = m_buffer.Text();
    m_position = m_line.start;
    return true;
  }

  // The phone's settings: bad lines are reported and stay; everything else is stored,
  // also values that failed their check; security lines leave the buffer.
  std::optional<LoadOutcome> ImportLine(int row) {
    if (m_parsed.code == kCheckUnknownName || m_parsed.code == kCheckNotAvailable ||
        m_parsed.code == kCheckNoEqualSign) {
      Warn(m_ui, messages::Format(messages::kImportFormatError, m_line.text.c_str()));
      return std::nullopt;
    }
    if (Store(row) == StoreStep::kStop) return LoadOutcome::kStoppedAtPhoneBook;
    if (m_parsed.security) ReplaceLine({});
    return std::nullopt;
  }

  // A bad line of a file: the setting error dialog decides.
  std::optional<LoadOutcome> AskUser() {
    SettingErrorContext context;
    context.lineNumber = LineNumberAt(m_text, m_line.start);
    context.restSize = m_text.size() - (m_line.breakEnd - m_line.start);
    SettingDialogAnswer answer = m_ui.ShowSettingError(m_parsed, context);
    switch (answer.result) {
      case SettingDialogResult::kApply:
        // The corrected line takes the old one's place and is checked again. It must
        // end its line, or it would run into the next one.
        if (!answer.correctedLine.empty() && answer.correctedLine.back() != '\n' &&
            answer.correctedLine.back() != '\r') {
          answer.correctedLine += "\r\n";
        }
        if (!ReplaceLine(answer.correctedLine)) {
          Warn(m_ui, messages::Format(messages::kCorrectedLineTooLarge, kBufferKBytes));
        }
        return std::nullopt;
      case SettingDialogResult::kDelete:
        ReplaceLine({});
        return std::nullopt;
      case SettingDialogResult::kSkip:
        return std::nullopt;
      case SettingDialogResult::kClose:
      default:
        return LoadOutcome::kAborted;
    }
  }

  PhoneSettings& m_settings;
  const LoadMode m_mode;
  SettingsBuffer& m_buffer;
  SettingsUi& m_ui;
  std::string_view m_text;  // taken again after each edit of the buffer
  size_t m_position = 0;
  BufferLine m_line;
  ParsedSettingLine m_parsed;
  PhoneBookCursor m_phoneBook;
};

}  // namespace

LoadOutcome LoadBuffer(PhoneSettings& settings, LoadMode mode, SettingsBuffer& buffer,
                       SettingsUi& ui, int* stoppedAtLine) {
  return BufferLoader(settings, mode, buffer, ui).Run(stoppedAtLine);
}

bool Load(PhoneSettings& settings, LoadMode mode, const std::string& path, SettingsBuffer& buffer,
          SettingsUi& ui) {
  if (mode == LoadMode::kImport) {
    ui.RefreshCurrentSettingsView();
    if (ui.AutomaticImportRunning()) return true;
    return LoadBuffer(settings, mode, buffer, ui) != LoadOutcome::kAborted;
  }
  if (!ReadFile(path, buffer, ui)) return false;
  switch (LoadBuffer(settings, mode, buffer, ui)) {
    case LoadOutcome::kAborted:
      return false;
    case LoadOutcome::kStoppedAtPhoneBook:
      return true;
    case LoadOutcome::kCompleted:
      break;
  }
  if (!ReplaceFileContents(path, buffer.Text())) {
    Warn(ui, messages::Format(messages::kUnableToWrite, path.c_str()));
    return false;
  }
  return true;
}

void SyncPhoneBookAndSpeedDial(PhoneSettings& settings, SyncMode mode, SettingsUi* ui) {
  if (mode == SyncMode::kPull && ui != nullptr) ui->PullPhoneBookAndSpeedDial(settings);
  settings.Commit(CommitGroup::kPhoneBook);
  settings.Commit(CommitGroup::kSpeedDial);
}

std::string WriteToText(PhoneSettings& settings, SettingsUi* ui, const WriteOptions& options) {
  settings.CommitAll();
  SyncPhoneBookAndSpeedDial(settings, SyncMode::kPull, ui);

  std::string text;
  text.reserve(4096);
  int32_t count = 0;
  int32_t recordsWritten = 0;
  for (int row = 0; row < settings.RowCount(); ++row) {
    const std::string_view name = settings.Parameter(row).Name();
    if (!options.includeSecuritySettings && PhoneSettings::IsSecuritySetting(name)) continue;
    if (row < 4 * kRowsPerProfile) {
      // Addresses of a profile that uses its DHCP client come from the network,
      // except the TFTP server when the profile names it itself.
      const int profile = row / kRowsPerProfile;
      const bool dhcpClient = settings.WorkingNumber(ProfileRow(profile, kPosDhcpClient)) == 1;
      const bool staticTftp = settings.WorkingNumber(ProfileRow(profile, kPosTftpOption)) == 0;
      if (dhcpClient && PhoneSettings::IsStaticAddress(name, profile) &&
          !(staticTftp && row == ProfileRow(profile, kPosPrimaryTftpServer))) {
        continue;
      }
    }
    if (row == kRowPhBookCount) {
      count = std::clamp(settings.CommittedNumber(row), 0, kPhoneBookRecords);
    } else if (row > kRowPhBookCount) {
      if (recordsWritten >= count) break;
      if ((row - kRowPhBookFirst) % kRowsPerRecord == kRowsPerRecord - 1) ++recordsWritten;
    }
    std::string line;
    if (settings.FormatLine(row, line)) text += line;
  }
  return text;
}

bool Write(PhoneSettings& settings, const std::string& path, bool showMessage, SettingsUi& ui) {
  FileReplacement file(path);
  if (!file.IsOpen()) {
    Warn(ui, messages::Format(messages::kUnableToWrite, path.c_str()));
    return false;
  }
  if (!file.Commit(WriteToText(settings, &ui))) {
    Warn(ui, messages::Format(messages::kUnableToWrite, path.c_str()));
    return false;
  }
  ui.RefreshViews(3);
  ui.AddLogEntry(messages::kSaveLogType, messages::kSaveLogText, path);
  if (showMessage) {
    ui.ShowMessage(messages::Format(messages::kSaved, path.c_str()), kWarningCaption,
                   MessageIcon::kInformation);
  }
  return true;
}

}  // namespace mivo
