#include "service_table.h"

#include <ini.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "text.h"

namespace nexinst {

int ServiceTable::OnEntry(void* user, const char* section, const char* name, const char* value) {
  auto* table = static_cast<ServiceTable*>(user);
  uint32_t number = static_cast<uint32_t>(std::strtoul(value, nullptr, 0));
  if (EqualsNoCase(section, "ServiceManager")) {
    if (EqualsNoCase(name, "Locked")) table->m_locked = number != 0;
    return 1;
  }
  Service* service = table->Find(section);
  if (!service) {
    table->m_services.push_back(Service{section});
    service = &table->m_services.back();
  }
  if (EqualsNoCase(name, "State")) service->state = number;
  if (EqualsNoCase(name, "StartType")) service->start_type = number;
  return 1;
}

ServiceTable ServiceTable::Parse(std::string_view text) {
  ServiceTable table;
  std::string copy(text);
  ini_parse_string(copy.c_str(), &ServiceTable::OnEntry, &table);
  return table;
}

std::optional<ServiceTable> ServiceTable::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str());
}

std::string ServiceTable::Write() const {
  std::string out = "[ServiceManager]\nLocked=" + std::to_string(m_locked ? 1 : 0) + "\n";
  for (const Service& service : m_services) {
    out += "[" + service.name + "]\nState=" + std::to_string(service.state) +
           "\nStartType=" + std::to_string(service.start_type) + "\n";
  }
  return out;
}

ServiceTable::Service* ServiceTable::Find(std::string_view name) {
  for (Service& service : m_services) {
    if (EqualsNoCase(service.name, name)) return &service;
  }
  return nullptr;
}

}  // namespace nexinst
