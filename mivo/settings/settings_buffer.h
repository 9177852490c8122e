#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace mivo {

inline constexpr size_t kSettingsBufferSize = 30720;

// The application-wide settings buffer: configuration-file text of at most 30719
// bytes followed by a zero byte. Holds the file being loaded or checked, or the
// settings text received from the phone. The text ends at the first zero byte.
// Every operation keeps the terminating zero inside the buffer; an operation that
// would not fit changes nothing and returns false.
class SettingsBuffer {
 public:
  static constexpr size_t kCapacity = kSettingsBufferSize - 1;  // text bytes

  SettingsBuffer() { Clear(); }

  void Clear() { m_bytes.fill(0); }

  // The text up to the first zero byte.
  std::string_view Text() const;
  size_t Length() const { return Text().size(); }

  // Replaces the whole text. false (buffer unchanged) if text is longer than kCapacity.
  bool Assign(std::string_view text);
  // Appends at the end of the text. false (unchanged) if the result would not fit.
  bool Append(std::string_view text);
  // Replaces `count` bytes at `offset` of the text by `text`; the rest moves. false
  // (unchanged) if offset/count lie outside the text or the result would not fit.
  bool Replace(size_t offset, size_t count, std::string_view text);
  // Removes `count` bytes at `offset`; the rest of the text moves up.
  bool Erase(size_t offset, size_t count) { return Replace(offset, count, {}); }

  // Raw access for a receiver that fills the buffer block by block (the TFTP
  // server). Whoever writes here must leave a zero byte after the text.
  std::span<char, kSettingsBufferSize> Bytes() { return m_bytes; }
  std::span<const char, kSettingsBufferSize> Bytes() const { return m_bytes; }

 private:
  std::array<char, kSettingsBufferSize> m_bytes;
};

}  // namespace mivo
