#pragma once

#include "platform/NetworkInterfaces.h"

#include <functional>
#include <string>
#include <vector>

// The machine identity used in tracking records: the hardware address of a network adapter as
// "xx-xx-xx-xx-xx-xx" (lower-case hex), or "unknowuser00" when no source finds one.

// Tries the four sources in order; true when one answered, false when the fallback was used.
// out holds the text in both cases.
bool GetMacAddress(std::string& out);

namespace MachineId {

inline constexpr char kFallback[] = "unknowuser00";

// Six bytes as "xx-xx-xx-xx-xx-xx".
[[nodiscard]] std::string FormatAddress(const std::uint8_t* bytes);

// 1: the first link entry of type Ethernet with a 6-byte, non-zero address.
bool FromEthernetLinks(const std::vector<NetworkInterfaces::LinkEntry>& links, std::string& out);
// 2: the first interface of a sysfs class folder (/sys/class/net) whose type is 1 and whose
// address file holds a non-zero 6-byte address; interfaces in name order.
bool FromSysfs(const std::string& netClassRoot, std::string& out);
// 3: the first of the named interfaces whose query answers a non-zero Ethernet address.
using AddressQuery = std::function<std::optional<NetworkInterfaces::HardwareAddress>(const std::string&)>;
bool FromIoctl(const std::vector<std::string>& names, const AddressQuery& query, std::string& out);
// 4: the first link entry of any type with a 6-byte, non-zero address.
bool FromAnyLink(const std::vector<NetworkInterfaces::LinkEntry>& links, std::string& out);

} // namespace MachineId
