#include "settings_buffer.h"

#include <cstring>

namespace mivo {

std::string_view SettingsBuffer::Text() const {
  return {m_bytes.data(), strnlen(m_bytes.data(), m_bytes.size())};
}

bool SettingsBuffer::Assign(std::string_view text) {
  if (text.size() > kCapacity) return false;
  Clear();
  if (!text.empty()) std::memcpy(m_bytes.data(), text.data(), text.size());
  return true;
}

bool SettingsBuffer::Append(std::string_view text) { return Replace(Length(), 0, text); }

bool SettingsBuffer::Replace(size_t offset, size_t count, std::string_view text) {
  const size_t length = Length();
  if (offset > length || count > length - offset) return false;
  const size_t newLength = length - count + text.size();
  if (newLength > kCapacity) return false;
  char* at = m_bytes.data() + offset;
  std::memmove(at + text.size(), at + count, length - offset - count);
  if (!text.empty()) std::memcpy(at, text.data(), text.size());
  std::memset(m_bytes.data() + newLength, 0, m_bytes.size() - newLength);
  return true;
}

}  // namespace mivo
