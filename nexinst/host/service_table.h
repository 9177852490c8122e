#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nexinst {

// The table that stands in for the service control manager: services.ini
// under the root.
//
//   [ServiceManager]
//   Locked=0          ; 1: locking the database fails
//   [WZCSVC]
//   State=4           ; 1 stopped, 2 start pending, 3 stop pending, 4 running
//   StartType=3       ; 2 automatic, 3 on demand, 4 disabled
//
// A missing file means the service manager cannot be opened; a missing
// section means the service does not exist.
class ServiceTable {
 public:
  struct Service {
    std::string name;
    uint32_t state = 1;
    uint32_t start_type = 3;
  };

  // nullopt when the file does not exist or cannot be read.
  static std::optional<ServiceTable> Load(const std::string& path);
  static ServiceTable Parse(std::string_view text);
  std::string Write() const;

  bool locked() const { return m_locked; }
  Service* Find(std::string_view name);

 private:
  static int OnEntry(void* user, const char* section, const char* name, const char* value);

  bool m_locked = false;
  std::vector<Service> m_services;
};

}  // namespace nexinst
