#pragma once
// A stand-in for the C functions of hidapi and libudev that the real HID
// backend calls, for tests linked against it instead of the system
// libraries. Emulated keyboards appear as hidraw nodes (/dev/hidrawN, numbered
// anew at every plug, one per interface, in the keyboard's order); their plug
// and unplug reach udev monitors as "add" and "remove", and each node has a
// report descriptor in a sysfs folder of its own.

#include <memory>
#include <string>
#include <vector>

#include "sim/keyboard.h"

namespace vyre::testing::hid_shim {

// Offers a keyboard's interfaces as nodes while it is plugged.
void Attach(std::shared_ptr<sim::Keyboard> keyboard);
// Back to no keyboards, no recorded calls and every setting off.
void Reset();
// While on, hid_open_path fails with EACCES, as for a node only root may open.
void SetDenyOpen(bool on);
// While on, the nodes' descriptors have no Usage items: hidapi 0.13 then lists
// the keyboard's own collections with usage page 0.
void SetBareDescriptors(bool on);
// udev's "change" of every present node (udevadm trigger).
void TriggerChange();
// The calls made so far, one line each: "open PATH", "open PATH denied",
// "close PATH", "set HEX", "get HEX" (as answered), "read HEX".
std::vector<std::string> Calls();

}  // namespace vyre::testing::hid_shim
