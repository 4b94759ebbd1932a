#include "tools/report.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>

#include "common/link_codes.h"
#include "common/profile_store.h"
#include "common/version.h"
#include "platform/hid/device_ids.h"
#include "platform/text.h"

namespace vyre::bugreport {

namespace {

constexpr char kFolder[] = "vyre-lumo-report/";
constexpr std::size_t kBlock = 512;

void Octal(char* field, std::size_t width, unsigned long long value) {
    // width - 1 digits and a terminating zero, as tar readers expect.
    std::snprintf(field, width, "%0*llo", static_cast<int>(width - 1), value);
}

std::string Header(const ArchiveFile& file, std::time_t mtime) {
    std::string h(kBlock, '\0');
    std::memcpy(h.data(), file.name.data(), std::min<std::size_t>(file.name.size(), 100));
    Octal(&h[100], 8, 0600);
    Octal(&h[108], 8, 0);
    Octal(&h[116], 8, 0);
    Octal(&h[124], 12, file.bytes.size());
    Octal(&h[136], 12, static_cast<unsigned long long>(mtime));
    std::memset(&h[148], ' ', 8);
    h[156] = '0';
    std::memcpy(&h[257], "ustar", 6);
    std::memcpy(&h[263], "00", 2);
    unsigned sum = 0;
    for (char c : h) sum += static_cast<unsigned char>(c);
    std::snprintf(&h[148], 7, "%06o", sum);
    h[154] = '\0';
    h[155] = ' ';
    return h;
}

HostSettingsBlock* HostBlock(std::vector<std::uint8_t>& data) {
    if (data.size() != sizeof(HostSettingsBlock)) return nullptr;
    return reinterpret_cast<HostSettingsBlock*>(data.data());
}

const HostSettingsBlock* FindHostBlock(const std::vector<LinkEvent>& dump) {
    for (const LinkEvent& e : dump) {
        if (!e.notice && e.code == link::block::kHostSettings &&
            e.data.size() == sizeof(HostSettingsBlock)) {
            return reinterpret_cast<const HostSettingsBlock*>(e.data.data());
        }
    }
    return nullptr;
}

const std::vector<std::uint8_t>* FindBlock(const std::vector<LinkEvent>& dump, std::uint32_t code) {
    for (const LinkEvent& e : dump) {
        if (!e.notice && e.code == code) return &e.data;
    }
    return nullptr;
}

// Every program name and path the host settings block holds, longest first,
// so that a path is taken out before a name inside it.
std::vector<std::string> ProgramNames(const HostSettingsBlock* host) {
    std::set<std::string> names;
    if (host != nullptr) {
        for (const auto& profile : host->programLinks) {
            for (const auto& link : profile) {
                if (!link.empty()) names.insert(text::Utf16ToUtf8(link.str()));
            }
        }
        for (const auto& profile : host->keyLaunchPaths) {
            for (const KeyLaunchPath& launch : profile) {
                if (!launch.path.empty()) names.insert(text::Utf16ToUtf8(launch.path.str()));
                if (!launch.displayName.empty()) {
                    names.insert(text::Utf16ToUtf8(launch.displayName.str()));
                }
            }
        }
    }
    std::vector<std::string> sorted(names.begin(), names.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    return sorted;
}

std::string KeyboardFacts(const std::vector<LinkEvent>& dump) {
    std::string out;
    const KeyboardIds ids = hid::ConfiguredKeyboardIds();
    const HostSettingsBlock* host = FindHostBlock(dump);
    const auto* info = FindBlock(dump, link::block::kDeviceInfo);
    char line[160];
    if (host == nullptr || host->modelFlag == 0) {
        out += "keyboard: none known to the Monitor\n";
    } else {
        const bool b = host->modelFlag == 2;
        std::snprintf(line, sizeof line, "keyboard: model %c, USB id %04x:%04x, layout code %u\n",
                      b ? 'B' : 'A', ids.vendorId, b ? ids.productIdB : ids.productIdA,
                      host->layoutCode);
        out += line;
    }
    if (info != nullptr && info->size() > report::kFirmwareVersion2) {
        const int v1 = (*info)[report::kFirmwareVersion];
        const int v2 = (*info)[report::kFirmwareVersion2];
        std::snprintf(line, sizeof line, "firmware: %d.%02d (second %d.%02d)\n", v1 / 100, v1 % 100,
                      v2 / 100, v2 % 100);
        out += line;
    }
    return out;
}

}  // namespace

std::string TarArchive(const std::vector<ArchiveFile>& files, std::time_t mtime) {
    std::string out;
    for (const ArchiveFile& f : files) {
        out += Header(f, mtime);
        out += f.bytes;
        out.append((kBlock - f.bytes.size() % kBlock) % kBlock, '\0');
    }
    out.append(2 * kBlock, '\0');
    return out;
}

std::string RedactLine(const std::string& line, const std::vector<std::string>& programNames) {
    std::string out = line;
    for (const std::string& name : programNames) {
        if (name.empty()) continue;
        for (std::size_t at; (at = out.find(name)) != std::string::npos;) {
            out.replace(at, name.size(), "<program>");
        }
    }
    // Any path that is left: from a '/' or "~/" that starts a word to the end
    // of the word.
    std::string result;
    for (std::size_t i = 0; i < out.size();) {
        const bool wordStart = i == 0 || out[i - 1] == ' ' || out[i - 1] == '=' ||
                               out[i - 1] == '"' || out[i - 1] == '\'' || out[i - 1] == '(';
        const bool path = out[i] == '/' || (out[i] == '~' && i + 1 < out.size() && out[i + 1] == '/');
        if (wordStart && path) {
            result += "<path>";
            while (i < out.size() && out[i] != ' ' && out[i] != '"' && out[i] != '\'' &&
                   out[i] != ')' && out[i] != ',')
                ++i;
        } else {
            result += out[i++];
        }
    }
    return result;
}

std::vector<ArchiveFile> BuildReport(const Inputs& in) {
    std::vector<ArchiveFile> files;
    std::string summary = "Vyre Lumo bug report\n\n";
    summary += std::string("software: ") + kSoftwareVersion + "\n";
    for (const std::string& fact : in.systemFacts) summary += fact + "\n";
    summary += "\n";
    if (!in.monitorFound) {
        summary += "monitor: not running\n";
    } else {
        summary += in.dumpComplete ? "monitor: running, dump complete\n"
                                   : "monitor: running, the dump did not complete\n";
        summary += KeyboardFacts(in.dump);
    }
    summary += in.withPaths ? "program paths: included\n" : "program paths: left out\n";
    files.push_back({std::string(kFolder) + "report.txt", summary});
    files.push_back({std::string(kFolder) + "doctor.txt", in.doctor});

    const std::vector<std::string> names = ProgramNames(FindHostBlock(in.dump));
    std::string log;
    for (const std::string& line : in.logLines) {
        log += (in.withPaths ? line : RedactLine(line, names)) + "\n";
    }
    files.push_back({std::string(kFolder) + "monitor.log", log});

    if (in.monitorFound) {
        std::string index;
        for (const LinkEvent& e : in.dump) {
            if (e.notice) {
                index += "notice " + std::to_string(e.code) + "\n";
                continue;
            }
            index += std::to_string(e.code) + " " + std::to_string(e.data.size()) + "\n";
            if (e.data.empty()) continue;
            std::vector<std::uint8_t> data = e.data;
            if (!in.withPaths && e.code == link::block::kHostSettings) {
                if (HostSettingsBlock* host = HostBlock(data)) {
                    std::memset(host->programLinks, 0, sizeof host->programLinks);
                    std::memset(host->keyLaunchPaths, 0, sizeof host->keyLaunchPaths);
                }
            }
            files.push_back({std::string(kFolder) + "dump/" + std::to_string(e.code) + ".bin",
                             std::string(data.begin(), data.end())});
        }
        files.push_back({std::string(kFolder) + "dump/index.txt", index});
    }
    return files;
}

}  // namespace vyre::bugreport
