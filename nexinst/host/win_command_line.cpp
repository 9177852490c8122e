#include "win_command_line.h"

namespace nexinst {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string QuoteArgument(const std::string& argument) {
  bool plain = !argument.empty() && argument.find_first_of(" \t\"") == std::string::npos;
  if (plain) return argument;
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(2 * backslashes + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, '\\');
  out += '"';
  return out;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (i == line.size()) return arguments;

  std::string program;
  if (line[i] == '"') {
    size_t close = line.find('"', i + 1);
    program =
        std::string(line.substr(i + 1, close == std::string_view::npos ? close : close - i - 1));
    i = close == std::string_view::npos ? line.size() : close + 1;
  } else {
    while (i < line.size() && !IsBlank(line[i])) program += line[i++];
  }
  arguments.push_back(program);

  while (true) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i == line.size()) break;
    std::string argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        size_t backslashes = 0;
        while (i < line.size() && line[i] == '\\') ++backslashes, ++i;
        if (i < line.size() && line[i] == '"') {
          argument.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(backslashes, '\\');
        }
        continue;
      }
      if (line[i] == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          argument += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      argument += line[i++];
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string out;
  for (const std::string& argument : arguments) {
    if (!out.empty()) out += ' ';
    out += QuoteArgument(argument);
  }
  return out;
}

}  // namespace nexinst
