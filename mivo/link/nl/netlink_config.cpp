#include "netlink_config.h"

#include <arpa/inet.h>
#include <netlink/addr.h>
#include <netlink/cache.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>

#include <bit>

namespace mivo::link {
namespace {

struct CacheDeleter {
  void operator()(nl_cache* cache) const { nl_cache_free(cache); }
};
using Cache = std::unique_ptr<nl_cache, CacheDeleter>;

struct AddrDeleter {
  void operator()(rtnl_addr* addr) const { rtnl_addr_put(addr); }
};
struct NlAddrDeleter {
  void operator()(nl_addr* addr) const { nl_addr_put(addr); }
};

Cache LinkCache(nl_sock* socket) {
  nl_cache* cache = nullptr;
  if (socket == nullptr || rtnl_link_alloc_cache(socket, AF_UNSPEC, &cache) < 0) return nullptr;
  return Cache(cache);
}

Cache AddressCache(nl_sock* socket) {
  nl_cache* cache = nullptr;
  if (socket == nullptr || rtnl_addr_alloc_cache(socket, &cache) < 0) return nullptr;
  return Cache(cache);
}

// Dotted text of an IPv4 local address; empty for any other.
std::string LocalText(rtnl_addr* addr) {
  if (rtnl_addr_get_family(addr) != AF_INET) return {};
  nl_addr* local = rtnl_addr_get_local(addr);
  if (local == nullptr || nl_addr_get_len(local) != 4) return {};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, nl_addr_get_binary_addr(local), text, sizeof text);
  return text;
}

template <typename Visit>
void ForEachAddress(nl_cache* cache, Visit visit) {
  for (nl_object* object = nl_cache_get_first(cache); object != nullptr;
       object = nl_cache_get_next(object)) {
    auto* addr = reinterpret_cast<rtnl_addr*>(object);
    const std::string text = LocalText(addr);
    if (!text.empty()) visit(addr, text);
  }
}

int PrefixLength(const std::string& mask) {
  in_addr bits{};
  if (inet_pton(AF_INET, mask.c_str(), &bits) != 1) return -1;
  return std::popcount(ntohl(bits.s_addr));
}

std::unique_ptr<rtnl_addr, AddrDeleter> MakeAddress(int index, const std::string& address,
                                                    int prefixLength) {
  std::unique_ptr<rtnl_addr, AddrDeleter> addr(rtnl_addr_alloc());
  nl_addr* parsed = nullptr;
  if (!addr || nl_addr_parse(address.c_str(), AF_INET, &parsed) < 0) return nullptr;
  std::unique_ptr<nl_addr, NlAddrDeleter> local(parsed);
  nl_addr_set_prefixlen(local.get(), prefixLength);
  rtnl_addr_set_ifindex(addr.get(), index);
  rtnl_addr_set_family(addr.get(), AF_INET);
  if (rtnl_addr_set_local(addr.get(), local.get()) < 0) return nullptr;
  rtnl_addr_set_prefixlen(addr.get(), prefixLength);
  return addr;
}

}  // namespace

void NetlinkConfig::SocketDeleter::operator()(nl_sock* socket) const { nl_socket_free(socket); }

NetlinkConfig::NetlinkConfig() {
  std::unique_ptr<nl_sock, SocketDeleter> socket(nl_socket_alloc());
  if (socket && nl_connect(socket.get(), NETLINK_ROUTE) == 0) m_socket = std::move(socket);
}

NetlinkConfig::~NetlinkConfig() = default;

std::vector<int> NetlinkConfig::InterfaceIndexes() {
  std::vector<int> indexes;
  Cache links = LinkCache(m_socket.get());
  if (!links) return indexes;
  for (nl_object* object = nl_cache_get_first(links.get()); object != nullptr;
       object = nl_cache_get_next(object)) {
    indexes.push_back(rtnl_link_get_ifindex(reinterpret_cast<rtnl_link*>(object)));
  }
  return indexes;
}

std::size_t NetlinkConfig::LocalAddressCount() {
  std::size_t count = 0;
  Cache addresses = AddressCache(m_socket.get());
  if (addresses)
    ForEachAddress(addresses.get(), [&count](rtnl_addr*, const std::string&) { ++count; });
  return count;
}

std::vector<AdapterInfo> NetlinkConfig::Adapters() {
  std::vector<AdapterInfo> adapters;
  Cache links = LinkCache(m_socket.get());
  Cache addresses = AddressCache(m_socket.get());
  if (!links || !addresses) return adapters;
  for (nl_object* object = nl_cache_get_first(links.get()); object != nullptr;
       object = nl_cache_get_next(object)) {
    auto* link = reinterpret_cast<rtnl_link*>(object);
    AdapterInfo adapter;
    adapter.index = rtnl_link_get_ifindex(link);
    const char* alias = rtnl_link_get_ifalias(link);
    adapter.description = alias != nullptr ? alias : "";
    ForEachAddress(addresses.get(), [&adapter](rtnl_addr* addr, const std::string& text) {
      if (rtnl_addr_get_ifindex(addr) == adapter.index) {
        adapter.addresses.push_back({text, rtnl_addr_get_prefixlen(addr)});
      }
    });
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

bool NetlinkConfig::AddAddress(int index, const std::string& address, const std::string& mask) {
  const int prefixLength = PrefixLength(mask);
  if (!m_socket || prefixLength < 0) return false;
  Cache addresses = AddressCache(m_socket.get());
  if (!addresses) return false;
  bool taken = false;
  ForEachAddress(addresses.get(),
                 [&](rtnl_addr*, const std::string& text) { taken = taken || text == address; });
  if (taken) return false;
  auto addr = MakeAddress(index, address, prefixLength);
  return addr && rtnl_addr_add(m_socket.get(), addr.get(), NLM_F_EXCL) == 0;
}

bool NetlinkConfig::DeleteAddress(int index, const AdapterAddress& address) {
  if (!m_socket) return false;
  auto addr = MakeAddress(index, address.address, address.prefixLength);
  return addr && rtnl_addr_delete(m_socket.get(), addr.get(), 0) == 0;
}

}  // namespace mivo::link
