#pragma once
// The bug report of vyre-lumo-ctl: one tar archive that a user can hand over.
//
//   vyre-lumo-report/report.txt      versions, system, keyboard
//   vyre-lumo-report/doctor.txt      what vyre-lumo-ctl doctor says
//   vyre-lumo-report/monitor.log     the last lines of the Monitor's log
//   vyre-lumo-report/dump/index.txt  the registration dump, "CODE SIZE" a line
//   vyre-lumo-report/dump/CODE.bin   each block and list of the dump
//
// Unless paths are asked for, the user's program paths and names stay out:
// the program links and key launch paths of the host settings block are
// zeroed, and in the log every path becomes "<path>" and every program name
// the dump knows "<program>".

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "tools/link_client.h"

namespace vyre::bugreport {

struct ArchiveFile {
    std::string name;
    std::string bytes;
};

// A POSIX (ustar) archive of regular files, mode 0600, owned by nobody in
// particular; names up to 100 bytes.
std::string TarArchive(const std::vector<ArchiveFile>& files, std::time_t mtime);

struct Inputs {
    bool monitorFound = false;
    bool dumpComplete = false;
    std::vector<LinkEvent> dump;         // as LinkClient::Dump collected it
    std::vector<std::string> logLines;   // oldest first
    std::vector<std::string> systemFacts;  // "name: value"
    std::string doctor;                    // the doctor's output
    bool withPaths = false;
};

std::vector<ArchiveFile> BuildReport(const Inputs& in);

// A log line with its paths and the given program names taken out.
std::string RedactLine(const std::string& line, const std::vector<std::string>& programNames);

}  // namespace vyre::bugreport
