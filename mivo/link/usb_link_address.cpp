#include "usb_link_address.h"

#include <algorithm>
#include <cstdio>

#include "link_texts.h"

namespace mivo::link {
namespace {

constexpr std::size_t kMaxInterfaces = 20;
constexpr std::size_t kMaxAddressEntries = 200;
constexpr char kAddressPrefix[] = "192.168.1.";
constexpr char kMask[] = "255.255.255.0";

bool IsUsbLink(const AdapterInfo& adapter) {
  return adapter.description.starts_with(texts::kAdapterPrefix);
}

}  // namespace

int SetupUsbLinkAddress(NetConfigPort& net, UiPort& ui) {
  std::vector<int> indexes = net.InterfaceIndexes();
  if (indexes.size() > kMaxInterfaces) indexes.resize(kMaxInterfaces);
  if (std::min(net.LocalAddressCount(), kMaxAddressEntries) == 0) return 1;

  const std::vector<AdapterInfo> adapters = net.Adapters();
  for (const AdapterInfo& adapter : adapters) {
    if (!IsUsbLink(adapter)) continue;
    for (const AdapterAddress& address : adapter.addresses) {
      if (address.address.starts_with(kAddressPrefix)) net.DeleteAddress(adapter.index, address);
    }
  }

  const auto usb = std::find_if(adapters.begin(), adapters.end(), IsUsbLink);
  if (usb == adapters.end()) {
    char message[128];
    std::snprintf(message, sizeof message, texts::kAdapterNotFound, texts::kAdapterPrefix);
    ui.MessageBox(message, "", MessageIcon::kNone);
    return 0;
  }
  const bool known = std::find(indexes.begin(), indexes.end(), usb->index) != indexes.end();
  for (int n = 2; known && n <= 255; ++n) {
    if (net.AddAddress(usb->index, kAddressPrefix + std::to_string(n), kMask)) return 1;
  }
  char message[160];
  std::snprintf(message, sizeof message, texts::kAddAddressFailed, "192.168.1", "192.168.1");
  ui.MessageBox(message, "", MessageIcon::kNone);
  return 0;
}

}  // namespace mivo::link
