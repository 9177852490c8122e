#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "host/kernel.h"

namespace valmor::sim {

// Collects every debugger line while it lives.
class TraceRecorder {
 public:
  TraceRecorder() {
    host::SetTraceSink([this](std::string_view line) {
      std::lock_guard lock(m_mutex);
      m_lines.emplace_back(line);
    });
  }
  ~TraceRecorder() { host::SetTraceSink({}); }
  TraceRecorder(const TraceRecorder&) = delete;
  TraceRecorder& operator=(const TraceRecorder&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
  }
  bool Contains(std::string_view line) const {
    std::lock_guard lock(m_mutex);
    for (const std::string& l : m_lines) {
      if (l == line) return true;
    }
    return false;
  }
  // Index of the first line equal to `line` at or after `from`, or -1.
  int Find(std::string_view line, int from = 0) const {
    std::lock_guard lock(m_mutex);
    for (size_t i = static_cast<size_t>(from); i < m_lines.size(); ++i) {
      if (m_lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
};

}  // namespace valmor::sim
