#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "setting_parameter.h"

namespace mivo {

// The fixed setting table: 681 rows in their fixed order, with room for 1024.
// Built on first use (thread-safe static) and never changed afterwards.
std::span<const SettingParameter, kSettingTableCapacity> SettingTable();

// The default value text of a row as the configuration file writes it ("Enable",
// "192.168.1.3", "Profile2", ""). Empty for rows past the row count.
std::string_view DefaultValueText(int row);

// Membership in the security list (79 names; exact, case-sensitive, whole name).
bool IsSecuritySetting(std::string_view name);

// Membership in profile `profile` (0..3)'s six static address names (exact).
bool IsStaticAddress(std::string_view name, int profile);

// The current name of a legacy name (exact comparison), or empty when `name` is
// not a legacy name. Some current names are no parameter at all, so the caller
// still has to look the current name up.
std::string_view LegacyCurrentName(std::string_view name);

// Bytes of the value slot of a kind (working and committed copy together); 0 for
// reserved and unknown kinds.
int32_t SlotSize(int32_t kind);

// The 79 names of the security list, in their fixed order.
std::span<const std::string_view> SecurityList();

}  // namespace mivo
