// Runs the USB link address setup once against the network namespace it is started in.
// Used by the namespace tests only (through ip netns exec). Exit 0 on success, else 1.

#include <iostream>

#include "console_link_ui.h"
#include "netlink_config.h"
#include "usb_link_address.h"

int main() {
  mivo::link::NetlinkConfig net;
  if (!net.IsOpen()) {
    std::cerr << "no netlink socket" << std::endl;
    return 1;
  }
  mivo::link::ConsoleLinkUi ui(std::cout);
  return mivo::link::SetupUsbLinkAddress(net, ui) == 1 ? 0 : 1;
}
