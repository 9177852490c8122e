#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace mivo::link {

// Where the phone is reached. The defaults are the phone's own; the options --phone,
// --phone-port and --tftp-port, else MIVO_PHONE_ADDRESS, MIVO_PHONE_PORT and
// MIVO_TFTP_PORT, override them for demos and tests.
struct LinkEndpoints {
  std::string phoneAddress = "192.168.1.1";
  std::uint16_t phonePort = 5001;
  std::uint16_t tftpPort = 69;
  // With the address overridden the USB link address setup is skipped.
  bool addressOverridden = false;
};

struct EndpointOptions {
  std::optional<std::string> phoneAddress;
  std::optional<std::uint16_t> phonePort;
  std::optional<std::uint16_t> tftpPort;
};

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// Options win over the environment. Returns an error text (and leaves endpoints as far as
// read) when an environment port is not a number from 0 to 65535.
std::optional<std::string> ResolveLinkEndpoints(const EndpointOptions& options,
                                                const EnvironmentLookup& environment,
                                                LinkEndpoints& endpoints);

// The process environment.
std::optional<std::string> ProcessEnvironment(const char* name);

}  // namespace mivo::link
