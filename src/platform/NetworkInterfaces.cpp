#include "platform/NetworkInterfaces.h"

#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace NetworkInterfaces {

std::vector<LinkEntry> LinkEntries()
{
    std::vector<LinkEntry> entries;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return entries;
    }
    const std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> guard(list, &freeifaddrs);
    for (const ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_PACKET) {
            continue;
        }
        sockaddr_ll link{};
        std::memcpy(&link, it->ifa_addr, sizeof link);
        const auto length = std::min<std::size_t>(link.sll_halen, sizeof link.sll_addr);
        entries.push_back({it->ifa_name, link.sll_hatype, {link.sll_addr, link.sll_addr + length}});
    }
    return entries;
}

std::vector<std::string> InterfaceNames()
{
    std::vector<std::string> names;
    struct if_nameindex* list = ::if_nameindex();
    if (list == nullptr) {
        return names;
    }
    for (const struct if_nameindex* it = list; it->if_index != 0 && it->if_name != nullptr; ++it) {
        names.emplace_back(it->if_name);
    }
    if_freenameindex(list);
    return names;
}

std::optional<HardwareAddress> EthernetAddressByIoctl(const std::string& name)
{
    if (name.empty() || name.size() >= IFNAMSIZ) {
        return std::nullopt;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    const int result = ::ioctl(fd, SIOCGIFHWADDR, &request);
    ::close(fd);
    if (result != 0 || request.ifr_hwaddr.sa_family != ARPHRD_ETHER) {
        return std::nullopt;
    }
    HardwareAddress address{};
    std::memcpy(address.data(), request.ifr_hwaddr.sa_data, address.size());
    return address;
}

} // namespace NetworkInterfaces
