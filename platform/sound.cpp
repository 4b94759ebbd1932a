#include "platform/sound.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/bytes.h"
#include "common/log.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/record.h"

namespace vyre::platform {
namespace {

std::vector<std::string> Words(std::string_view command) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
        } else if (std::isspace(static_cast<unsigned char>(c)) && !quoted) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// One alias: an opened file, its volume, and the sound playing from it.
struct Alias {
    std::string path;
    int volume = 1000;
    std::shared_ptr<std::atomic<bool>> stop;
    std::thread player;
};

class MciBase : public Mci {
  public:
    ~MciBase() override {
        std::lock_guard lock(mutex_);
        for (auto& [name, alias] : aliases_) Close(alias);
    }

    MciError SendString(std::string_view command) override {
        const std::vector<std::string> w = Words(command);
        if (w.empty()) return MciError::UnknownCommand;
        const std::string verb = Lower(w[0]);
        std::lock_guard lock(mutex_);
        if (verb == "close" && w.size() == 2) {
            auto it = aliases_.find(w[1]);
            if (it == aliases_.end()) return MciError::UnknownAlias;
            Close(it->second);
            aliases_.erase(it);
            return MciError::None;
        }
        if (verb == "open" && w.size() == 6 && Lower(w[2]) == "type" &&
            Lower(w[3]) == "waveaudio" && Lower(w[4]) == "alias") {
            Alias& alias = aliases_[w[5]];
            Close(alias);
            alias.path = paths::Resolve(w[1]).string();
            alias.volume = 1000;
            std::error_code ec;
            if (!std::filesystem::is_regular_file(alias.path, ec)) {
                aliases_.erase(w[5]);
                return MciError::CannotOpen;
            }
            return MciError::None;
        }
        if (verb == "setaudio" && w.size() == 5 && Lower(w[2]) == "volume" && Lower(w[3]) == "to") {
            auto it = aliases_.find(w[1]);
            if (it == aliases_.end()) return MciError::UnknownAlias;
            it->second.volume = std::clamp(std::atoi(w[4].c_str()), 0, 1000);
            return MciError::None;
        }
        if (verb == "play" && w.size() == 2) {
            auto it = aliases_.find(w[1]);
            if (it == aliases_.end()) return MciError::UnknownAlias;
            Close(it->second, false);
            return Play(it->second);
        }
        return MciError::UnknownCommand;
    }

  protected:
    virtual MciError Play(Alias& alias) = 0;

    static void Close(Alias& alias, bool forget = true) {
        if (alias.stop) *alias.stop = true;
        if (alias.player.joinable()) alias.player.join();
        alias.stop.reset();
        if (forget) alias.path.clear();
    }

    std::mutex mutex_;
    std::map<std::string, Alias> aliases_;
};

class RecordingMci : public MciBase {
  protected:
    MciError Play(Alias& alias) override {
        ActionRecord::Instance().Write("play " +
                                       std::filesystem::path(alias.path).filename().string() +
                                       " volume " + std::to_string(alias.volume));
        return MciError::None;
    }
};

class PulseMci : public MciBase {
  protected:
    MciError Play(Alias& alias) override {
        bool tooLarge = false;
        const std::optional<std::string> bytes = ReadWholeFile(alias.path, kSoundFileLimit, &tooLarge);
        if (tooLarge) {
            log::Error("sound", log::Format("%s holds more than the %llu bytes a sound can hold: it is not played",
                                            alias.path.c_str(), static_cast<unsigned long long>(kSoundFileLimit)));
        }
        auto wave = std::make_shared<WaveData>();
        if (!bytes || !DecodeWave(*bytes, wave.get())) return MciError::CannotOpen;
        const double gain = alias.volume / 1000.0;
        for (short& s : wave->samples) s = static_cast<short>(s * gain);
        alias.stop = std::make_shared<std::atomic<bool>>(false);
        alias.player = std::thread([wave, stop = alias.stop] { Output(*wave, *stop); });
        return MciError::None;
    }

  private:
    static void Output(const WaveData& wave, const std::atomic<bool>& stop) {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = static_cast<std::uint32_t>(wave.rate);
        spec.channels = static_cast<std::uint8_t>(wave.channels);
        int error = 0;
        pa_simple* out = pa_simple_new(nullptr, "Vyre Lumo Monitor", PA_STREAM_PLAYBACK, nullptr,
                                       "feedback", &spec, nullptr, nullptr, &error);
        if (out == nullptr) {
            static std::once_flag once;
            std::call_once(once, [&] {
                log::Info("sound", std::string("no audio output: ") + pa_strerror(error));
            });
            return;
        }
        // Written in pieces of about 50 ms, so that a new sound cuts this one off soon.
        const std::size_t piece = static_cast<std::size_t>(wave.rate * wave.channels / 20 + 1);
        for (std::size_t at = 0; at < wave.samples.size() && !stop.load(); at += piece) {
            const std::size_t n = std::min(piece, wave.samples.size() - at);
            if (pa_simple_write(out, wave.samples.data() + at, n * sizeof(short), &error) < 0)
                break;
        }
        if (!stop.load()) pa_simple_drain(out, &error);
        pa_simple_free(out);
    }
};

}  // namespace

bool DecodeWave(std::string_view bytes, WaveData* wave) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE")
        return false;
    int format = 0, bits = 0;
    std::size_t at = 12;
    bool haveFormat = false;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t size = LoadLe32(b + at + 4);
        const std::size_t body = at + 8;
        if (size > bytes.size() - body) return false;
        if (id == "fmt " && size >= 16) {
            format = LoadLe16(b + body);
            wave->channels = LoadLe16(b + body + 2);
            wave->rate = static_cast<int>(LoadLe32(b + body + 4));
            bits = LoadLe16(b + body + 14);
            haveFormat = true;
        } else if (id == "data" && haveFormat) {
            if (format != 1 || wave->channels < 1 || wave->channels > 8 || wave->rate <= 0 ||
                wave->rate > 192000) {
                return false;
            }
            wave->samples.clear();
            if (bits == 8) {
                for (std::size_t i = 0; i < size; ++i)
                    wave->samples.push_back(static_cast<short>((b[body + i] - 128) << 8));
            } else if (bits == 16) {
                for (std::size_t i = 0; i + 1 < size; i += 2) {
                    wave->samples.push_back(static_cast<short>(LoadLe16(b + body + i)));
                }
            } else {
                return false;
            }
            return true;
        }
        at = body + size + (size & 1);
    }
    return false;
}

std::unique_ptr<Mci> MakeMci() {
    if (ActionRecord::Instance().Active()) return std::make_unique<RecordingMci>();
    return std::make_unique<PulseMci>();
}

}  // namespace vyre::platform
