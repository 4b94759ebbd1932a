#include "platform/machine.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <unistd.h>

#include <QByteArray>
#include <QMessageAuthenticationCode>

#include <algorithm>
#include <fstream>

namespace vyre::platform {
namespace {

constexpr std::string_view kApplicationKey = "vyre-lumo trophy machine identifier";

std::vector<NetworkInterface> ListInterfaces() {
    std::vector<NetworkInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET) continue;
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        NetworkInterface i;
        i.index = ll->sll_ifindex;
        i.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        const std::size_t n = std::min<std::size_t>(ll->sll_halen, sizeof ll->sll_addr);
        i.address.assign(ll->sll_addr, ll->sll_addr + n);
        out.push_back(std::move(i));
    }
    freeifaddrs(list);
    return out;
}

std::string FirstLine(const char* file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

std::string HexUpper(const std::uint8_t* bytes, std::size_t n) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += kHex[bytes[i] >> 4];
        s += kHex[bytes[i] & 15];
    }
    return s;
}

std::optional<std::string> IdentifierFromInterfaces(std::vector<NetworkInterface> interfaces) {
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const auto& a, const auto& b) { return a.index < b.index; });
    for (const NetworkInterface& i : interfaces) {
        if (i.loopback || i.address.size() != 6) continue;
        if (std::all_of(i.address.begin(), i.address.end(), [](std::uint8_t b) { return b == 0; }))
            continue;
        return HexUpper(i.address.data(), 6);
    }
    return std::nullopt;
}

std::string IdentifierFromMachineId(std::string_view machineId) {
    const QByteArray mac = QMessageAuthenticationCode::hash(
        QByteArray(machineId.data(), static_cast<qsizetype>(machineId.size())),
        QByteArray(kApplicationKey.data(), static_cast<qsizetype>(kApplicationKey.size())),
        QCryptographicHash::Sha256);
    std::uint8_t node[6];
    for (int i = 0; i < 6; ++i) node[i] = static_cast<std::uint8_t>(mac[i]);
    node[0] |= 0x01;  // multicast bit: not a network card's address
    return HexUpper(node, 6);
}

std::string MachineIdentifier() {
    if (auto id = IdentifierFromInterfaces(ListInterfaces())) return *id;
    std::string machineId = FirstLine("/etc/machine-id");
    if (machineId.empty()) machineId = FirstLine("/var/lib/dbus/machine-id");
    if (machineId.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) == 0) machineId = host;
    }
    return IdentifierFromMachineId(machineId);
}

}  // namespace vyre::platform
