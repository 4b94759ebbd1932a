#pragma once
// The action record: with a program's --record FILE, every action the program
// would take on the computer (keyboard repeat settings, sounds, injected keys,
// started programs, shell opens, the tray) is written to FILE as one line
// instead of being performed. Tests read the lines to see what a program did.
//
// Lines: "<ms since the record was opened> <what>", for example
// "1520 keyboard-repeat delay=1 speed=31 notify=1".

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vyre::platform {

class ActionRecord {
  public:
    // The process-wide record.
    static ActionRecord& Instance();

    // Starts recording to a file (truncated). False with *error when it
    // cannot be opened.
    bool Open(const std::filesystem::path& file, std::string* error);
    // Starts recording to a function (tests); null stops recording.
    void SetSink(std::function<void(const std::string&)> sink);
    void Close();

    // True while actions are recorded instead of performed.
    bool Active() const;
    // Writes one line (thread-safe, flushed at once).
    void Write(std::string_view what);

  private:
    ActionRecord() = default;
    mutable std::mutex mutex_;
    std::function<void(const std::string&)> sink_;
    long long startMs_ = 0;
};

}  // namespace vyre::platform
