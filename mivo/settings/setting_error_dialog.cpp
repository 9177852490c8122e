#include "setting_error_dialog.h"

#include <algorithm>
#include <cstdio>

#include "config_line.h"
#include "phone_settings.h"
#include "settings_buffer.h"
#include "settings_messages.h"

namespace mivo {
namespace {

std::string ToLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return lower;
}

int32_t Decimal(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = std::min<int64_t>(INT32_MAX, value * 10 + (c - '0'));
  }
  return static_cast<int32_t>(value);
}

bool IsSecurityRow(const PhoneSettings& settings, int row) {
  return PhoneSettings::IsSecuritySetting(settings.Parameter(row).Name());
}

}  // namespace

std::string SettingErrorCodeText(int32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "ERR %03d", code);
  return text;
}

bool SettingDialogSkipEnabled(int32_t code) { return code == kCheckUnknownName; }

int SettingDialogStartRow(const PhoneSettings& settings, const ParsedSettingLine& line) {
  int row = line.code == kCheckUnknownName ? -1 : settings.FindParameter(line.name);
  if (row >= 0) return row;
  row = 0;
  while (row < settings.RowCount() - 1 && IsSecurityRow(settings, row)) ++row;
  return row;
}

int SettingDialogStepRow(const PhoneSettings& settings, int row, int step) {
  for (int next = row + step; next >= 0 && next < settings.RowCount(); next += step) {
    if (!IsSecurityRow(settings, next)) return next;
  }
  return row;
}

SettingValuePrefill SettingDialogPrefill(const PhoneSettings& settings,
                                         std::string_view parameter) {
  SettingValuePrefill prefill;
  const int row = settings.FindParameter(parameter);
  if (row < 0) return prefill;
  const SettingParameter& p = settings.Parameter(row);
  const std::string_view rule = p.Constraint();
  switch (p.kind) {
    case kKindChoice:
    case kKindList: {
      size_t start = 0;
      while (true) {
        const size_t slash = rule.find('/', start);
        prefill.options.emplace_back(
            rule.substr(start, slash == rule.npos ? rule.npos : slash - start));
        if (slash == rule.npos) break;
        start = slash + 1;
      }
      prefill.value = prefill.options.front();
      break;
    }
    case kKindNumber: {
      const size_t dash = rule.find('-');
      if (dash == rule.npos) break;
      prefill.hasRange = true;
      prefill.minimum = Decimal(rule.substr(0, dash));
      prefill.maximum = Decimal(rule.substr(dash + 1));
      prefill.value = std::to_string(prefill.minimum);
      break;
    }
    case kKindAddress:
      prefill.value =
          ToLower(parameter).find("mask") != std::string::npos ? "255.255.255.0" : "1.0.0.1";
      break;
    default:
      break;
  }
  return prefill;
}

bool SettingDialogApply(std::string_view parameter, std::string_view value, size_t restSize,
                        std::string& line, std::string& warning) {
  line.assign(parameter);
  line += '=';
  line += value;
  line += "\r\n";
  if (line.size() >= kMaxLineLength) {
    warning = messages::kCorrectedLineTooLong;
    return false;
  }
  // The buffer keeps a zero byte after the text, so the text itself has one byte less.
  if (restSize + line.size() > SettingsBuffer::kCapacity) {
    warning = messages::Format(messages::kCorrectedLineTooLarge,
                               static_cast<int>(kSettingsBufferSize / 1024));
    return false;
  }
  return true;
}

}  // namespace mivo
