#include "platform/record.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace vyre::platform {
namespace {

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ActionRecord& ActionRecord::Instance() {
    static ActionRecord record;
    return record;
}

bool ActionRecord::Open(const std::filesystem::path& file, std::string* error) {
    std::FILE* f = std::fopen(file.c_str(), "w");
    if (f == nullptr) {
        if (error) *error = "cannot open " + file.string() + " for writing";
        return false;
    }
    std::shared_ptr<std::FILE> shared(f, [](std::FILE* p) { std::fclose(p); });
    SetSink([shared](const std::string& line) {
        std::fputs(line.c_str(), shared.get());
        std::fputc('\n', shared.get());
        std::fflush(shared.get());
    });
    return true;
}

void ActionRecord::SetSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
    startMs_ = NowMs();
}

void ActionRecord::Close() {
    SetSink(nullptr);
}

bool ActionRecord::Active() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(sink_);
}

void ActionRecord::Write(std::string_view what) {
    std::lock_guard lock(mutex_);
    if (!sink_) return;
    std::string line = std::to_string(NowMs() - startMs_);
    line.push_back(' ');
    line.append(what);
    sink_(line);
}

}  // namespace vyre::platform
