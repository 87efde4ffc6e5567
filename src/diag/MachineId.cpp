#include "diag/MachineId.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

constexpr unsigned short kArpEthernet = 1;

bool IsUsable(const std::uint8_t* bytes, std::size_t length)
{
    return length == 6 && std::any_of(bytes, bytes + length, [](std::uint8_t b) { return b != 0; });
}

std::string FirstLine(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "aa:bb:cc:dd:ee:ff" into six bytes.
bool ParseColonAddress(const std::string& text, std::uint8_t (&bytes)[6])
{
    unsigned values[6] = {};
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &values[0], &values[1], &values[2], &values[3],
                    &values[4], &values[5], &tail) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        bytes[i] = static_cast<std::uint8_t>(values[i]);
    }
    return true;
}

} // namespace

namespace MachineId {

std::string FormatAddress(const std::uint8_t* bytes)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", bytes[0], bytes[1], bytes[2], bytes[3],
                  bytes[4], bytes[5]);
    return text;
}

bool FromEthernetLinks(const std::vector<NetworkInterfaces::LinkEntry>& links, std::string& out)
{
    for (const auto& link : links) {
        if (link.hardwareType == kArpEthernet && IsUsable(link.address.data(), link.address.size())) {
            out = FormatAddress(link.address.data());
            return true;
        }
    }
    return false;
}

bool FromSysfs(const std::string& netClassRoot, std::string& out)
{
    std::error_code error;
    std::vector<std::filesystem::path> interfaces;
    for (std::filesystem::directory_iterator it(netClassRoot, error), end; !error && it != end;
         it.increment(error)) {
        interfaces.push_back(it->path());
    }
    std::sort(interfaces.begin(), interfaces.end());
    for (const auto& folder : interfaces) {
        std::uint8_t bytes[6] = {};
        if (FirstLine(folder / "type") == "1" && ParseColonAddress(FirstLine(folder / "address"), bytes) &&
            IsUsable(bytes, 6)) {
            out = FormatAddress(bytes);
            return true;
        }
    }
    return false;
}

bool FromIoctl(const std::vector<std::string>& names, const AddressQuery& query, std::string& out)
{
    for (const auto& name : names) {
        const auto address = query(name);
        if (address && IsUsable(address->data(), address->size())) {
            out = FormatAddress(address->data());
            return true;
        }
    }
    return false;
}

bool FromAnyLink(const std::vector<NetworkInterfaces::LinkEntry>& links, std::string& out)
{
    for (const auto& link : links) {
        if (IsUsable(link.address.data(), link.address.size())) {
            out = FormatAddress(link.address.data());
            return true;
        }
    }
    return false;
}

} // namespace MachineId

bool GetMacAddress(std::string& out)
{
    const auto links = NetworkInterfaces::LinkEntries();
    if (MachineId::FromEthernetLinks(links, out) || MachineId::FromSysfs("/sys/class/net", out) ||
        MachineId::FromIoctl(NetworkInterfaces::InterfaceNames(), &NetworkInterfaces::EthernetAddressByIoctl,
                             out) ||
        MachineId::FromAnyLink(links, out)) {
        return true;
    }
    out = MachineId::kFallback;
    return false;
}
