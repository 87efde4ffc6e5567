#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The machine's network interfaces and their hardware addresses, read from the kernel.
namespace NetworkInterfaces {

// One link-layer entry of getifaddrs: an interface name, its ARP hardware type (1 = Ethernet)
// and its hardware address bytes.
struct LinkEntry
{
    std::string name;
    unsigned short hardwareType = 0;
    std::vector<std::uint8_t> address;
};

using HardwareAddress = std::array<std::uint8_t, 6>;

// The AF_PACKET entries of getifaddrs, in its order; empty when the call fails.
[[nodiscard]] std::vector<LinkEntry> LinkEntries();

// The names of the interfaces the kernel knows (if_nameindex), in index order.
[[nodiscard]] std::vector<std::string> InterfaceNames();

// The hardware address of one interface by ioctl(SIOCGIFHWADDR), when it is an Ethernet one.
[[nodiscard]] std::optional<HardwareAddress> EthernetAddressByIoctl(const std::string& name);

} // namespace NetworkInterfaces
