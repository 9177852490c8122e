#pragma once

#include "host/ndis.h"

namespace valmor {

// Driver entry: registers the miniport (NDIS 5.0) with `wrapper`. The result
// of the registration is the driver's result.
host::NtStatus DriverEntry(host::NdisWrapper& wrapper);

}  // namespace valmor
