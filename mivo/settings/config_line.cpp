#include "config_line.h"

#include <algorithm>

#include "phone_settings.h"

namespace mivo {
namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool NextLine(std::string_view text, size_t& position, BufferLine& line) {
  // The text ends at the first zero byte, whatever the view's size.
  const auto atEnd = [&text](size_t at) { return at >= text.size() || text[at] == '\0'; };
  size_t at = position;
  while (!atEnd(at) && IsBreak(text[at])) ++at;
  if (atEnd(at)) {
    position = at;
    return false;
  }
  line.start = at;
  size_t end = at;
  while (!atEnd(end) && !IsBreak(text[end])) ++end;
  line.end = end;
  line.text.assign(text.substr(at, std::min(end - at, kMaxLineLength)));
  // One line end belongs to the line itself (CR LF, CR or LF).
  size_t breakEnd = end;
  if (!atEnd(breakEnd) && text[breakEnd] == '\r') {
    ++breakEnd;
    if (!atEnd(breakEnd) && text[breakEnd] == '\n') ++breakEnd;
  } else if (!atEnd(breakEnd) && text[breakEnd] == '\n') {
    ++breakEnd;
  }
  line.breakEnd = breakEnd;
  size_t next = end;
  while (!atEnd(next) && IsBreak(text[next])) ++next;
  position = next;
  line.last = atEnd(next);
  return true;
}

int LineNumberAt(std::string_view text, size_t offset) {
  int number = 1;
  offset = std::min(offset, text.size());
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++number;
    } else if (text[i] == '\r') {
      ++number;
      if (i + 1 < offset && text[i + 1] == '\n') ++i;
    }
  }
  return number;
}

int ParseLine(std::string_view line, const PhoneSettings& settings, ParsedSettingLine& parsed) {
  parsed = ParsedSettingLine{};
  if (!line.empty() && line.front() == '#') {
    parsed.name = TrimBlanks(line);
    return kParseComment;
  }
  const size_t equal = line.find('=');
  if (equal == std::string_view::npos) {
    parsed.code = kCheckNoEqualSign;
    parsed.name = TrimBlanks(line);
    return kParseNoRow;
  }
  parsed.name = TrimBlanks(line.substr(0, equal));
  parsed.value = TrimBlanks(line.substr(equal + 1));
  const int row = settings.FindParameter(parsed.name);
  if (row < 0) {
    parsed.code = kCheckUnknownName;
    return kParseNoRow;
  }
  const SettingParameter& parameter = settings.Parameter(row);
  parsed.security = PhoneSettings::IsSecuritySetting(parameter.Name());
  parsed.kind = parameter.kind;
  const CheckResult check = settings.CheckValue(row, parsed.value);
  parsed.code = check.code;
  parsed.itemIndex = check.itemIndex;
  return row;
}

}  // namespace mivo
