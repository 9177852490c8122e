#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mivo {

class PhoneSettings;

inline constexpr size_t kMaxLineLength = 256;  // longer lines are cut after this
inline constexpr int kParseComment = -9;       // ParseLine: the line is a comment
inline constexpr int kParseNoRow = -1;         // ParseLine: unknown name or no "="

// The result of parsing one configuration line.
struct ParsedSettingLine {
  int32_t code = 0;       // 0 accepted; 1, 2, 3, 202 value check; 201 unknown; 203 no "="
  int32_t kind = 0;       // kind of the matched row (0 when none)
  std::string name;       // name as written, trimmed; for 203 the whole line, trimmed
  std::string value;      // value as written, trimmed; empty when nothing follows "="
  int32_t itemIndex = 0;  // choices and lists: index of the matching item
  bool security = false;  // the matched row is in the security list
};

// One line of a buffer as Next line returns it.
struct BufferLine {
  std::string text;     // at most 256 characters, never empty
  size_t start = 0;     // offset of the line's first character in the buffer text
  size_t end = 0;       // offset just past the physical line (before its CR/LF),
                        // including characters dropped past the 256th
  size_t breakEnd = 0;  // offset just past the line's own line end (one CR, LF or
                        // CR LF); equals end for a last line without line end
  bool last = false;    // the text ended right after this line
};

// Next line: from `position`, skips CR and LF, collects the next non-empty line
// (at most 256 characters; the rest of a longer line is dropped) and moves
// `position` to the first character of the line after it. Stops at the end of
// `text` or at a zero byte. Returns false, leaving `line` untouched, when no
// further line exists.
bool NextLine(std::string_view text, size_t& position, BufferLine& line);

// The 1-based physical line number of `offset` in `text` (CR LF, CR and LF each end
// one line).
int LineNumberAt(std::string_view text, size_t offset);

// Parse line: fills `parsed` and returns the matched row (record 0 for phone book
// names), kParseNoRow (-1) when the line has no "=" (code 203) or no parameter has
// the name (code 201), or kParseComment (-9) for a line starting with "#" (then
// `parsed` holds only the trimmed line as name, code 0). Values are checked with
// PhoneSettings::CheckValue; nothing is stored. Never fails otherwise.
int ParseLine(std::string_view line, const PhoneSettings& settings, ParsedSettingLine& parsed);

// Blanks and tabs removed from both ends.
std::string_view TrimBlanks(std::string_view text);

}  // namespace mivo
