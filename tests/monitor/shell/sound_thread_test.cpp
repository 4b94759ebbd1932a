// The sound feedback: which recording each request plays, when, and how loud.

#include "monitor/shell/sound_thread.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "common/link_codes.h"
#include "platform/paths.h"
#include "tests/monitor/link/link_rig.h"

namespace vyre {
namespace {

using testing::Eventually;

class FakeMci : public platform::Mci {
public:
    explicit FakeMci(std::vector<std::string>& log, std::mutex& mutex) : log_(log), mutex_(mutex) {}
    platform::MciError SendString(std::string_view command) override {
        std::lock_guard lock(mutex_);
        log_.emplace_back(command);
        return platform::MciError::None;
    }

private:
    std::vector<std::string>& log_;
    std::mutex& mutex_;
};

struct Rig {
    Rig() : thread(shared, std::make_unique<FakeMci>(commands, mutex)) {
        EXPECT_TRUE(thread.CreateThread());
        EXPECT_TRUE(Eventually([&] { return shared.sound.load() != 0; }));
    }
    void Post(unsigned kind, win::LPARAM value) { win::PostMessage(shared.sound.load(), link::kMsgPlaySound, kind, value); }
    // The "open" commands so far, as the recordings' names.
    std::vector<std::string> Played() {
        std::lock_guard lock(mutex);
        std::vector<std::string> names;
        for (const auto& c : commands) {
            if (c.rfind("open", 0) != 0) continue;
            const auto from = c.find("\\wave\\") + 6;
            names.push_back(c.substr(from, c.find(".wav") - from));
        }
        return names;
    }
    std::vector<std::string> Commands() {
        std::lock_guard lock(mutex);
        return commands;
    }
    MonitorShared shared;
    std::mutex mutex;
    std::vector<std::string> commands;
    CSoundThread thread;
};

TEST(Sound, ABurstOfProfileEventsSoundsOnceForTheLast) {
    Rig rig;
    rig.Post(3, 0x00000100);
    rig.Post(3, 0x00020100);
    rig.Post(3, 0x00040100);
    ASSERT_TRUE(Eventually([&] { return !rig.Played().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_EQ(rig.Played(), (std::vector<std::string>{"profile_five"}));
    // The whole sequence, with the volume of the starting step 4.
    const auto c = rig.Commands();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], "close 1234");
    EXPECT_EQ(c[1], "open  \".\\wave\\profile_five.wav\" type waveaudio alias 1234");
    EXPECT_EQ(c[2], "setaudio 1234 volume to 1000 ");
    EXPECT_EQ(c[3], "play 1234");
}

TEST(Sound, CountdownAtOnceAndSwitchesThatSilenceSomeSounds) {
    Rig rig;
    std::uint8_t settings[4] = {0, 0, 0, 0};  // every switch off, volume step 0
    rig.Post(0, reinterpret_cast<win::LPARAM>(settings));
    rig.Post(7, 3);
    rig.Post(7, 7);  // no voice for 7
    ASSERT_TRUE(Eventually([&] { return !rig.Played().empty(); }));
    EXPECT_EQ(rig.Played(), (std::vector<std::string>{"3_seconds"}));
    EXPECT_EQ(rig.Commands()[2], "setaudio 1234 volume to 200 ");

    rig.Post(3, 0x00030100);  // profile: off
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    rig.Post(3, 0x03000400);  // macro recorded: off
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    rig.Post(3, 0x01260B00);  // volume key let go: never a sound
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    rig.Post(3, 0x00000D00);  // timer started: not switched
    ASSERT_TRUE(Eventually([&] { return rig.Played().size() == 2; }));
    EXPECT_EQ(rig.Played().back(), "timer_activated");

    settings[2] = 0x07;  // macro, profile and trophy sounds on
    rig.Post(0, reinterpret_cast<win::LPARAM>(settings));
    rig.Post(3, 0x00000006);
    ASSERT_TRUE(Eventually([&] { return rig.Played().size() == 3; }));
    EXPECT_EQ(rig.Played().back(), "trophy1");
}

TEST(Sound, EveryRecordingIsShippedAndDecodes) {
    const char* names[] = {"profile_one", "profile_two", "profile_three", "profile_four", "profile_five",
                           "windows_profile", "macro-select-macro-key", "macro-Enter-Macro-and-press",
                           "macro-recorded-successfully", "macro-recording-aborted", "macro-Key-not-available",
                           "svolume_down", "volume_up", "timer_activated", "timer_stopped", "trophy0", "trophy1",
                           "go", "1_second", "2_seconds", "3_seconds", "4_seconds", "5_seconds", "10_seconds"};
    for (const char* name : names) {
        std::ifstream in(paths::Resolve(std::string(".\\wave\\") + name + ".wav"), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        platform::WaveData wave;
        ASSERT_TRUE(platform::DecodeWave(bytes, &wave)) << name;
        EXPECT_GT(wave.samples.size(), 1000u) << name;
    }
    EXPECT_EQ(EventRecording(0x00050100, {}), "windows_profile");
    EXPECT_EQ(EventRecording(0x00060100, {}), "");
    platform::WaveData wave;
    EXPECT_FALSE(platform::DecodeWave("RIFF\x10\0\0\0WAVEdata", &wave));
}

}  // namespace
}  // namespace vyre
