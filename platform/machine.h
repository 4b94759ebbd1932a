#pragma once
// The machine identifier: the hardware address of the first network
// interface that is not a loopback one (in interface index order), as 12
// uppercase hexadecimal digits, two per byte. A machine without one gets six
// bytes derived from its machine id (/etc/machine-id, else
// /var/lib/dbus/machine-id, else the host name): the start of an
// application-keyed HMAC-SHA256 of it, so the machine id itself is never
// sent, with the multicast bit of the first byte set, as node values that do
// not come from a network card have it, so it never equals a real adapter's.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyre::platform {

struct NetworkInterface {
    int index = 0;
    bool loopback = false;
    std::vector<std::uint8_t> address;  // the link-layer address
};

// The machine identifier of this machine.
std::string MachineIdentifier();

// The parts, for tests: the first usable address of a list (six bytes, not all
// zero, not a loopback interface; lowest index first) ...
std::optional<std::string> IdentifierFromInterfaces(std::vector<NetworkInterface> interfaces);
// ... and the value derived from a machine id text.
std::string IdentifierFromMachineId(std::string_view machineId);
std::string HexUpper(const std::uint8_t* bytes, std::size_t n);

}  // namespace vyre::platform
