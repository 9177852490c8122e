#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "command_channel.h"

namespace mivo::link {

// The Login command of the main frame. While the link is Offline: runs the USB link
// address setup (when one is given; a result of 0 ends the command, its message already
// shown), connects and then, unless the connection came up while the connecting dialog
// ran, shows "Phone connection failed!". While connected it asks the mode again.
// Returns 1 when the phone was reached (or the mode request went out), else 0.
int RunLoginCommand(CAsyncClientWnd& channel, PhoneLink& link, UiPort& ui,
                    const std::string& address, std::uint16_t port,
                    const std::function<int()>& setupUsbLinkAddress);

}  // namespace mivo::link
