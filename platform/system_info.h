#pragma once
// What a bug report says of the machine: "name: value" lines for the
// distribution, the kernel, the desktop session, and the Qt and hidapi
// libraries the programs run with.

#include <string>
#include <vector>

namespace vyre::platform {

std::vector<std::string> SystemFacts();

}  // namespace vyre::platform
