#pragma once

#include <string>
#include <vector>

#include "link_ports.h"

namespace mivo::link {

struct AdapterAddress {
  std::string address;  // dotted IPv4 text
  int prefixLength = 0;
};

struct AdapterInfo {
  int index = 0;
  std::string description;  // on Linux the interface alias
  std::vector<AdapterAddress> addresses;
};

// The system's network configuration as the USB link address setup needs it.
class NetConfigPort {
 public:
  virtual ~NetConfigPort() = default;
  // Indexes of the network interfaces, in the system's order.
  virtual std::vector<int> InterfaceIndexes() = 0;
  // Number of entries of the local IPv4 address table.
  virtual std::size_t LocalAddressCount() = 0;
  virtual std::vector<AdapterInfo> Adapters() = 0;
  // Adds address/mask to the adapter; false on any failure.
  virtual bool AddAddress(int index, const std::string& address, const std::string& mask) = 0;
  // Deletes an address of the adapter; false on any failure.
  virtual bool DeleteAddress(int index, const AdapterAddress& address) = 0;
};

// Gives the adapter whose description begins with "Velto 5837 USB" the first address
// 192.168.1.n/24 (n from 2 to 255) that can be added, after deleting the 192.168.1.x
// addresses it carries. Returns 1 on success (also when the local address table is
// empty: nothing is changed then). Returns 0 after the message box "... not found or not
// activated !" when no adapter matches, or "Error add the IP address ..." when every
// address failed; the caller then does not connect.
int SetupUsbLinkAddress(NetConfigPort& net, UiPort& ui);

}  // namespace mivo::link
