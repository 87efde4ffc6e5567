#include "diag/MachineId.h"
#include "TestSupport.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using NetworkInterfaces::HardwareAddress;
using NetworkInterfaces::LinkEntry;
using TestSupport::TempFolder;

namespace {

const std::vector<LinkEntry> kLinks = {
    {"lo", 772, {0, 0, 0, 0, 0, 0}},                   // loopback: all zero
    {"ppp0", 512, {}},                                 // point-to-point: no address
    {"wlan-zero", 1, {0, 0, 0, 0, 0, 0}},              // Ethernet but all zero
    {"ib0", 32, std::vector<std::uint8_t>(20, 0x11)},  // InfiniBand: 20 bytes
    {"tun0", 65534, {0x02, 0x42, 0xAC, 0x11, 0, 2}},   // not Ethernet, 6 bytes
    {"eth0", 1, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}}, // the one source 1 takes
};

TEST(MachineId, LinkSourcesPickTheFirstUsableAddressInLowerCase)
{
    std::string out;
    ASSERT_TRUE(MachineId::FromEthernetLinks(kLinks, out));
    EXPECT_EQ(out, "aa-bb-cc-dd-ee-ff");
    ASSERT_TRUE(MachineId::FromAnyLink(kLinks, out));
    EXPECT_EQ(out, "02-42-ac-11-00-02");

    const std::vector<LinkEntry> unusable(kLinks.begin(), kLinks.begin() + 4);
    out = "unchanged";
    EXPECT_FALSE(MachineId::FromEthernetLinks(unusable, out));
    EXPECT_FALSE(MachineId::FromAnyLink(unusable, out));
    EXPECT_EQ(out, "unchanged");
}

TEST(MachineId, SysfsSourceReadsEthernetInterfacesInNameOrder)
{
    TempFolder net;
    const auto add = [&](const QString& name, const QByteArray& type, const QByteArray& address) {
        net.Write(name + "/type", type + "\n");
        net.Write(name + "/address", address + "\n");
    };
    add("lo", "772", "00:00:00:00:00:00");
    add("eth9", "1", "00:00:00:00:00:00");
    add("eth1", "1", "not an address");
    add("wlp2s0", "1", "02:1A:2B:3C:4D:5E");
    add("eth2", "1", "12:34:56:78:9a:bc");
    add("docker0", "1", "02:42:00:00:00:01:ff"); // 7 bytes: not six

    std::string out;
    ASSERT_TRUE(MachineId::FromSysfs(net.Path().toStdString(), out));
    EXPECT_EQ(out, "12-34-56-78-9a-bc");
    EXPECT_FALSE(MachineId::FromSysfs(net.File("missing").toStdString(), out));
}

TEST(MachineId, IoctlSourceAsksEachInterfaceInTurn)
{
    std::vector<std::string> asked;
    const MachineId::AddressQuery query = [&](const std::string& name) -> std::optional<HardwareAddress> {
        asked.push_back(name);
        if (name == "lo") {
            return HardwareAddress{};
        }
        if (name == "enp3s0") {
            return HardwareAddress{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
        }
        return std::nullopt;
    };
    std::string out;
    ASSERT_TRUE(MachineId::FromIoctl({"lo", "wg0", "enp3s0", "eth1"}, query, out));
    EXPECT_EQ(out, "00-1a-2b-3c-4d-5e");
    EXPECT_EQ(asked, (std::vector<std::string>{"lo", "wg0", "enp3s0"}));
    EXPECT_FALSE(MachineId::FromIoctl({}, query, out));
}

TEST(MachineId, ThisMachineGivesAnAddressOrTheFallback)
{
    std::string out;
    const bool found = GetMacAddress(out);
    if (found) {
        EXPECT_TRUE(QRegularExpression("^([0-9a-f]{2}-){5}[0-9a-f]{2}$")
                        .match(QString::fromStdString(out))
                        .hasMatch())
            << out;
        EXPECT_NE(out, "00-00-00-00-00-00");
    } else {
        EXPECT_EQ(out, "unknowuser00");
    }
}

} // namespace
