#include <algorithm>

#include "host_port.h"

namespace nexinst {

RegValue RegValue::String(std::string_view text) {
  RegValue value{kRegSz, std::vector<uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  return value;
}

RegValue RegValue::FixedString(std::string_view text, size_t size) {
  RegValue value{kRegSz, std::vector<uint8_t>(size, 0)};
  std::copy_n(text.begin(), std::min(text.size(), size), value.data.begin());
  return value;
}

RegValue RegValue::Dword(uint32_t number) {
  return RegValue{kRegDword,
                  {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                   static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}};
}

std::string RegValue::AsText(size_t max_bytes) const {
  size_t limit = std::min(max_bytes, data.size());
  auto end = std::find(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(limit), 0);
  return std::string(data.begin(), end);
}

std::optional<uint32_t> RegValue::AsDword() const {
  if (data.size() < 4) return std::nullopt;
  return static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
         static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
}

}  // namespace nexinst
