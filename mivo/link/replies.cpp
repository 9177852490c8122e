#include "replies.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace mivo::link {
namespace {

constexpr std::size_t kMaxText = 255;

bool Contains(std::string_view line, std::string_view part) {
  return line.find(part) != std::string_view::npos;
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
  for (std::string_view candidate : words) {
    if (word == candidate) return true;
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::int32_t DecimalPrefix(std::string_view word) {
  std::int64_t value = 0;
  std::size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '-' || word[i] == '+')) negative = word[i++] == '-';
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
    value = value * 10 + (word[i] - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

std::string TrimmedRest(std::string_view rest) {
  std::size_t end = rest.find_first_of("\r\n");
  if (end != std::string_view::npos) rest = rest.substr(0, end);
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
  while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
  return std::string(rest.substr(0, kMaxText));
}

}  // namespace

int MatchReply(std::string_view line, std::string_view prefix, std::string_view command) {
  std::string pattern(prefix);
  pattern += ' ';
  pattern += command;
  return Contains(line, pattern) ? 1 : 0;
}

int ParseReply(std::string_view line, std::string_view command, std::int32_t& status,
               std::string& text) {
  status = 0;
  text.clear();
  if (!Contains(line, "CNF") || command.empty() || !Contains(line, command)) return 0;
  if (IsOneOf(command, {"logout", "settimeout", "probe"})) return 1;

  std::string_view rest = line.substr(line.find(command) + command.size());
  if (rest.size() < 2) return 0;
  if (IsOneOf(command, {"login", "import", "upload", "fwupgrade", "mode"})) {
    rest.remove_prefix(1);
    const std::size_t space = rest.find(' ');
    status = DecimalPrefix(rest.substr(0, space));
    if (space == std::string_view::npos) return 1;
    if (command != "import") return 0;
    rest = rest.substr(space);
  } else if (!IsOneOf(command, {"getmac", "getfirmwareinfo"})) {
    return 0;
  }
  text = TrimmedRest(rest.substr(1));
  return 1;
}

int ParseIndication(std::string_view line, std::string_view command, std::string& word,
                    std::string& text) {
  word.clear();
  text.clear();
  if (!Contains(line, "IND") || command.empty() || !Contains(line, command)) return 0;
  if (command != "import" && command != "upload") return 0;
  std::string_view rest = line.substr(line.find(command) + command.size());
  if (rest.size() < 2) return 0;
  rest.remove_prefix(1);
  const std::size_t space = rest.find(' ');
  if (space == std::string_view::npos) return 0;
  word = std::string(rest.substr(0, std::min(space, kMaxText)));
  for (char c : rest.substr(space + 1)) {
    if (c == '\r' || c == '\n' || c == '"') continue;
    if (text.size() == kMaxText) break;
    text += c;
  }
  return 1;
}

void ParseFirmwareInfo(std::string_view text, std::string& firmware, std::string& bsp,
                       std::string& boot) {
  firmware.clear();
  bsp.clear();
  boot.clear();
  // Each part is a run of non-blank characters behind its tag; the tags follow in order,
  // separated by white space, as a scanf pattern would read them.
  auto skipSpace = [&text] {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
      text.remove_prefix(1);
  };
  auto readPart = [&text, &skipSpace](std::string_view tag, std::string& out) {
    skipSpace();
    if (text.substr(0, tag.size()) != tag) return false;
    text.remove_prefix(tag.size());
    skipSpace();
    std::size_t n = 0;
    while (n < text.size() && !std::isspace(static_cast<unsigned char>(text[n]))) ++n;
    if (n == 0) return false;
    out = std::string(text.substr(0, std::min(n, kMaxText)));
    text.remove_prefix(n);
    return true;
  };
  readPart("FW:", firmware) && readPart("BSP:", bsp) && readPart("BOOT:", boot);
}

}  // namespace mivo::link
