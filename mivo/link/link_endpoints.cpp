#include "link_endpoints.h"

#include <charconv>
#include <cstdlib>

namespace mivo::link {
namespace {

std::optional<std::uint16_t> ParsePort(const std::string& text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > 65535) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<std::string> ResolveLinkEndpoints(const EndpointOptions& options,
                                                const EnvironmentLookup& environment,
                                                LinkEndpoints& endpoints) {
  if (options.phoneAddress) {
    endpoints.phoneAddress = *options.phoneAddress;
    endpoints.addressOverridden = true;
  } else if (auto address = environment("MIVO_PHONE_ADDRESS")) {
    endpoints.phoneAddress = *address;
    endpoints.addressOverridden = true;
  }
  struct PortSetting {
    const std::optional<std::uint16_t>& option;
    const char* variable;
    std::uint16_t& target;
  };
  const PortSetting ports[] = {{options.phonePort, "MIVO_PHONE_PORT", endpoints.phonePort},
                               {options.tftpPort, "MIVO_TFTP_PORT", endpoints.tftpPort}};
  for (const PortSetting& port : ports) {
    if (port.option) {
      port.target = *port.option;
    } else if (auto text = environment(port.variable)) {
      const auto value = ParsePort(*text);
      if (!value) return std::string(port.variable) + " is not a port number: " + *text;
      port.target = *value;
    }
  }
  return std::nullopt;
}

}  // namespace mivo::link
