#pragma once

#include <memory>

#include "usb_link_address.h"

struct nl_sock;

namespace mivo::link {

// The network configuration of the Linux namespace the process runs in, through
// rtnetlink (libnl-route-3). An adapter's description is its interface alias
// (ip link set dev X alias "..."); only IPv4 addresses are considered. Every call opens
// its own caches, so each sees the current state.
class NetlinkConfig final : public NetConfigPort {
 public:
  NetlinkConfig();
  ~NetlinkConfig() override;
  NetlinkConfig(const NetlinkConfig&) = delete;
  NetlinkConfig& operator=(const NetlinkConfig&) = delete;

  // False when the netlink socket could not be opened; every call then fails or is empty.
  bool IsOpen() const { return m_socket != nullptr; }

  std::vector<int> InterfaceIndexes() override;
  std::size_t LocalAddressCount() override;
  std::vector<AdapterInfo> Adapters() override;
  // Fails also when the address is already held by any local interface: a free address
  // is wanted, not a second copy.
  bool AddAddress(int index, const std::string& address, const std::string& mask) override;
  bool DeleteAddress(int index, const AdapterAddress& address) override;

 private:
  struct SocketDeleter {
    void operator()(nl_sock* socket) const;
  };
  std::unique_ptr<nl_sock, SocketDeleter> m_socket;
};

}  // namespace mivo::link
