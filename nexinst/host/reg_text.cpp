#include "reg_text.h"

#include <cctype>
#include <cstdio>

namespace nexinst {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr size_t kHexLineWidth = 76;

// The value of one hex digit, -1 for any other character.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(std::string_view text, RegTextError* error) : m_text(text), m_error(error) {}

  std::unique_ptr<RegKey> Parse();

 private:
  bool NextLine(std::string_view& line);
  bool Fail(std::string reason);
  bool ParseSection(std::string_view line);
  bool ParseValueLine(std::string_view line);
  bool ParseQuoted(std::string_view& rest, std::string& out);
  bool ParseData(std::string_view data, RegValue& value);
  bool ParseHexList(std::string_view list, std::vector<uint8_t>& out);

  std::string_view m_text;
  RegTextError* m_error;
  int m_line = 0;
  std::unique_ptr<RegKey> m_top = std::make_unique<RegKey>();
  RegKey* m_key = nullptr;
};

bool Parser::NextLine(std::string_view& line) {
  if (m_text.empty()) return false;
  size_t end = m_text.find('\n');
  line = m_text.substr(0, end);
  m_text.remove_prefix(end == std::string_view::npos ? m_text.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  ++m_line;
  return true;
}

bool Parser::Fail(std::string reason) {
  if (m_error) *m_error = RegTextError{m_line, std::move(reason)};
  return false;
}

std::unique_ptr<RegKey> Parser::Parse() {
  std::string_view line;
  bool header = false;
  while (NextLine(line)) {
    if (line.empty() || line.front() == ';') continue;
    bool ok = true;
    if (!header) {
      ok = line == kHeader || Fail("expected REGEDIT4");
      header = true;
    } else if (line.front() == '[') {
      ok = ParseSection(line);
    } else {
      ok = ParseValueLine(line);
    }
    if (!ok) return nullptr;
  }
  if (!header) {
    Fail("expected REGEDIT4");
    return nullptr;
  }
  return std::move(m_top);
}

bool Parser::ParseSection(std::string_view line) {
  if (line.back() != ']') return Fail("section without ']'");
  std::string_view path = line.substr(1, line.size() - 2);
  if (!path.empty() && path.front() == '-') return Fail("key deletion is not accepted");
  std::vector<std::string_view> parts = SplitKeyPath(path);
  if (parts.empty()) return Fail("empty key path");
  m_key = m_top.get();
  for (std::string_view part : parts) m_key = &m_key->ChildOrNew(part);
  return true;
}

bool Parser::ParseQuoted(std::string_view& rest, std::string& out) {
  if (rest.empty() || rest.front() != '"') return Fail("expected '\"'");
  rest.remove_prefix(1);
  out.clear();
  while (!rest.empty()) {
    char c = rest.front();
    rest.remove_prefix(1);
    if (c == '"') return true;
    if (c == '\\') {
      if (rest.empty()) break;
      c = rest.front();
      rest.remove_prefix(1);
    }
    out.push_back(c);
  }
  return Fail("unterminated string");
}

bool Parser::ParseValueLine(std::string_view line) {
  if (!m_key) return Fail("value before the first key");
  std::string name;
  if (line.front() == '@') {
    line.remove_prefix(1);
  } else if (!ParseQuoted(line, name)) {
    return false;
  }
  if (line.empty() || line.front() != '=') return Fail("expected '='");
  line.remove_prefix(1);
  RegValue value;
  if (!ParseData(line, value)) return false;
  if (RegValue* existing = m_key->Value(name)) {
    *existing = std::move(value);
  } else {
    m_key->values.emplace_back(std::move(name), std::move(value));
  }
  return true;
}

bool Parser::ParseData(std::string_view data, RegValue& value) {
  if (!data.empty() && data.front() == '"') {
    std::string text;
    if (!ParseQuoted(data, text)) return false;
    if (!data.empty()) return Fail("text after the string");
    value = RegValue::String(text);
    return true;
  }
  if (data.substr(0, 6) == "dword:") {
    std::string_view digits = data.substr(6);
    if (digits.size() != 8) return Fail("dword needs 8 hex digits");
    uint32_t number = 0;
    for (char c : digits) {
      int v = HexDigit(c);
      if (v < 0) return Fail("bad hex digit");
      number = number << 4 | static_cast<uint32_t>(v);
    }
    value = RegValue::Dword(number);
    return true;
  }
  if (data.substr(0, 3) != "hex") return Fail("unknown value data");
  data.remove_prefix(3);
  value.type = kRegBinary;
  if (!data.empty() && data.front() == '(') {
    size_t close = data.find(')');
    if (close == std::string_view::npos || close == 1 || close > 9) return Fail("bad hex type");
    uint32_t type = 0;
    for (char c : data.substr(1, close - 1)) {
      if (HexDigit(c) < 0) return Fail("bad hex type");
      type = type << 4 | static_cast<uint32_t>(HexDigit(c));
    }
    value.type = type;
    data.remove_prefix(close + 1);
  }
  if (data.empty() || data.front() != ':') return Fail("expected ':'");
  data.remove_prefix(1);
  std::string list(data);
  while (!list.empty() && list.back() == '\\') {
    list.pop_back();
    std::string_view next;
    if (!NextLine(next)) return Fail("continuation at end of file");
    list += next;
  }
  return ParseHexList(list, value.data);
}

bool Parser::ParseHexList(std::string_view list, std::vector<uint8_t>& out) {
  out.clear();
  std::string digits;
  auto flush = [&]() {
    if (digits.size() != 2) return false;
    out.push_back(static_cast<uint8_t>(HexDigit(digits[0]) << 4 | HexDigit(digits[1])));
    digits.clear();
    return true;
  };
  bool any = false;
  for (char c : list) {
    if (c == ' ' || c == '\t') continue;
    if (c == ',') {
      if (!flush()) return Fail("bad hex byte");
      continue;
    }
    if (HexDigit(c) < 0) return Fail("bad hex digit");
    digits.push_back(c);
    any = true;
  }
  if (any && !flush()) return Fail("bad hex byte");
  return true;
}

void WriteQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

// A string value shown as text: exactly printable bytes and one zero.
bool IsPlainString(const RegValue& value) {
  if (value.type != kRegSz || value.data.empty() || value.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < value.data.size(); ++i) {
    uint8_t c = value.data[i];
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

void WriteValue(std::string& out, const std::string& name, const RegValue& value) {
  size_t line_start = out.size();
  if (name.empty()) {
    out += '@';
  } else {
    WriteQuoted(out, name);
  }
  out += '=';
  if (IsPlainString(value)) {
    WriteQuoted(out, value.AsText());
    out += '\n';
    return;
  }
  char buffer[16];
  if (value.type == kRegDword && value.data.size() == 4) {
    std::snprintf(buffer, sizeof buffer, "dword:%08x", *value.AsDword());
    out += buffer;
    out += '\n';
    return;
  }
  if (value.type == kRegBinary) {
    out += "hex:";
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    out += buffer;
  }
  for (size_t i = 0; i < value.data.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", value.data[i]);
    out += buffer;
    if (i + 1 == value.data.size()) break;
    out += ',';
    if (out.size() - line_start > kHexLineWidth) {
      out += "\\\n  ";
      line_start = out.size() - 2;
    }
  }
  out += '\n';
}

void WriteKey(std::string& out, const RegKey& key, const std::string& path) {
  if (!key.values.empty() || key.children.empty()) {
    out += "[" + path + "]\n";
    for (const auto& [name, value] : key.values) WriteValue(out, name, value);
    out += '\n';
  }
  for (const auto& child : key.children) WriteKey(out, *child, path + "\\" + child->name);
}

}  // namespace

std::unique_ptr<RegKey> ParseRegText(std::string_view text, RegTextError* error) {
  return Parser(text, error).Parse();
}

std::string WriteRegText(const RegKey& top) {
  std::string out = std::string(kHeader) + "\n\n";
  for (const auto& hive : top.children) {
    if (hive->values.empty() && hive->children.empty()) continue;
    WriteKey(out, *hive, hive->name);
  }
  return out;
}

}  // namespace nexinst
