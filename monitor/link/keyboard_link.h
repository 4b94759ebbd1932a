#pragma once
// The keyboard link as it runs on the keyboard thread: the read-back of the
// keyboard into the profile store, the profile application, loading and
// saving the settings, and the commands and requests of the Config with the
// registration dump. Every member runs on the keyboard thread; the link
// writes the keyboard only through its KeyboardPort.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <span>

#include "common/log.h"
#include "common/profile_store.h"
#include "monitor/link/host_actions.h"
#include "monitor/link/keyboard_port.h"
#include "monitor/link/monitor_shared.h"
#include "monitor/link/ripple.h"
#include "monitor/link/settings.h"
#include "platform/system.h"
#include "platform/window.h"

namespace vyre {

// Timers the settings load starts on the keyboard thread's window.
inline constexpr unsigned kTimerStatistics = 100;     // every 10,000 ms: the hourly and daily roll-over
inline constexpr unsigned kTimerProgramSwitch = 101;  // every 2,000 ms: the program in front
inline constexpr unsigned kTimerCountdown = 102;      // every 1,000 ms: the key timers
inline constexpr unsigned kTimerVolumeDisplay = 104;  // every 100 ms, model B with the display on
inline constexpr unsigned kTimerLightRestore = 105;   // 1,000 ms after the volume display
inline constexpr unsigned kTimerVolumeUp = 106;       // every 100 ms while volume up is held
inline constexpr unsigned kTimerVolumeDown = 107;     // every 100 ms while volume down is held
inline constexpr unsigned kFirstLinkTimer = 100;
inline constexpr unsigned kLastLinkTimer = 108;

// Firmware versions this program is made for.
inline constexpr int kExpectedFirmwareA = 104;
inline constexpr int kExpectedFirmwareB = 109;
inline constexpr int kMinimumFirmware2B = 141;
// Interval of the looks at report 0x0F while the keyboard has no answer yet.
inline constexpr int kDeviceInfoRetryMs = 300;
// A keyboard that answers no firmware version for this long is not ready:
// the read-back ends and the Config is answered as without a keyboard.
inline constexpr int kDeviceInfoWaitMs = 10000;

// Light requests (message 1040 to the keyboard thread's window).
inline constexpr unsigned kLightStep = 34;      // lParam: pointer to a 4-byte step
inline constexpr unsigned kLightVolume = 51;    // lParam: volume level 0..10
inline constexpr unsigned kLightRestore = 105;

// Sound requests (message 1036 to the sound window, wParam).
inline constexpr unsigned kSoundSettings = 0;   // lParam: pointer to the profile's sound settings
inline constexpr unsigned kSoundEvent = 3;      // lParam: the event value, or a trophy below
inline constexpr unsigned kSoundCountdown = 7;  // lParam: seconds left
inline constexpr win::LPARAM kSoundTrophy = 5;
inline constexpr win::LPARAM kSoundAllTrophies = 6;

// The macro set that macros recorded on the keyboard go to.
inline constexpr const char* kMacroLiveSet = "Macro Live";

class KeyboardLink {
  public:
    // `window` is the keyboard thread's hidden window: the sender of the
    // notifications and the owner of the timers.
    KeyboardLink(ProfileStore& store, KeyboardPort& port, LinkFlags& flags, MonitorShared& shared,
                 SettingsPersistence& settings, platform::KeyboardRepeatSettings& repeat,
                 HostActions& host, LinkHooks& hooks, win::Window& window);
    ~KeyboardLink();

    ProfileStore& store() { return store_; }
    LinkFlags& flags() { return flags_; }

    // --- profile store ---------------------------------------------------------
    // Fills the store from the keyboard. The full variant also reads the
    // thumb and function keys and the macros and light macros they carry.
    // False when it ended early (firmware to update, keyboard gone).
    bool ReadBackKeyboard(bool full);
    // Makes a profile's host settings effective (repeat, sounds); with
    // `write` also tells the keyboard to use it (report 0x05).
    void ApplyProfile(int profile, bool write);

    // --- settings ----------------------------------------------------------------
    // Loads the settings after a read-back, applies the current profile's
    // repeat and sound settings, starts the periodic timers, and has an open
    // Config sent everything anew.
    void LoadSettings();
    void SaveAllSettings();
    // Starts timer 104 while the current profile shows the volume level on a
    // model B keyboard, else stops it.
    void UpdateVolumeDisplayTimer();

    // --- Config traffic --------------------------------------------------------------
    // A command block (message 1033): the 32-bit dwData and its payload.
    // When the keyboard did not take what it wrote for it, the sender (else
    // the Config's link window) gets notice 46 with the command's code.
    void HandleCommand(std::uint32_t dwData, std::span<const std::uint8_t> payload, win::HWND sender = 0);
    // A request (message 1031).
    void HandleRequest(unsigned code, win::LPARAM lParam);
    void RegistrationDump(win::HWND to);
    // Writes the shared Flexlayer state (report 0x16) as it stands.
    void WriteFlexState();

    // --- keyboard events, timers, lights ------------------------------------------
    // An event report's value (notify 1032/13).
    void HandleEvent(std::uint32_t value);
    // WM_TIMER 100..108 of the keyboard thread's window.
    void OnTimer(unsigned id);
    // The profile chosen in the tray (notify 1032/14): the same as the
    // keyboard's own profile key, and the keyboard is told.
    void ChooseProfile(int profile);
    // Timer 101: switches to the profile of the program in front.
    void ProgramSwitchTick();
    // A light request (message 1040).
    void LightRequest(unsigned request, win::LPARAM data);
    // Ends every ripple (the Monitor stops).
    void StopRipples();
    RippleControl& ripples() { return *ripples_; }
    // Where "now" comes from for the statistics (tests set their own clock).
    void SetDateCodeSource(std::function<std::int32_t()> source) { dateCode_ = std::move(source); }

    // Sends one notification (copied data tagged 1032) to a window.
    bool Notify(win::HWND to, std::uint16_t code, const void* data, std::size_t size);
    // Posts a notice to the Config's link window when it exists; false when
    // no Config was there to be told.
    bool PostNoticeToConfig(unsigned code, win::LPARAM lParam);

  private:
    void ApplyCommand(std::uint32_t dwData, std::span<const std::uint8_t> payload);
    // The parts of block `code` a command writes: the changed ones, or all
    // while the keyboard may differ from the store.
    std::vector<std::size_t> PartsToWrite(std::uint16_t code, std::vector<std::size_t> changed) const;
    // Writes report 4 {4, profile, code} and reads the answer into `target`.
    void ReadRequested(int profile, std::uint8_t code, std::uint8_t id,
                       std::span<std::uint8_t> target);
    std::int8_t WriteReport(const std::uint8_t* bytes, std::size_t length, int pollMs);
    void WriteActiveProfile(int profile, int pollMs);
    // Per-profile report block: copy changed profiles, frame, write.
    void ApplyProfileReports(std::uint16_t code, std::uint8_t reportId,
                             std::span<const std::uint8_t> payload);
    void ApplyIllumination(std::span<const std::uint8_t> payload);
    void ApplyEffects(std::span<const std::uint8_t> payload);
    void ApplyMacros(std::span<const std::uint8_t> payload);
    void ApplyLightMacroBlocks(std::span<const std::uint8_t> payload);
    void ApplyHostSettings(std::span<const std::uint8_t> payload);
    void AddTimer(const HIDMSG::_STimerSettingData& timer);
    void EditTimer(const HIDMSG::_STimerSettingData& timer);
    void DeleteTimer(const HIDMSG::_STimerSettingData& timer);
    void ResetKeyboard(win::HWND linkWindow);
    void PostDumpToConfig();
    std::int32_t Now() const { return dateCode_ ? dateCode_() : CurrentDateCode(); }

    void RequestSound(win::WPARAM kind, win::LPARAM value);
    // The current profile became `profile`: taken over, made effective, an
    // open Config and the tray told; with `write` the keyboard is told too.
    void ProfileChanged(int profile, bool write);
    // Hands the profile names and the current profile to the tray; `changed`
    // when the current profile changed (the tray shows its notice).
    void PublishProfiles(bool changed);
    void MacroRecorded(int slot);
    void LaunchKey(int slot);
    void MediaKey(std::uint8_t data, std::uint8_t action);
    void CountAndAward(const report::KeyboardEvent& event, bool counterEvent);
    void TalkCommand(std::uint8_t data, std::uint8_t action);
    void StatisticsRollOver();
    void SwitchTo(int profile, std::uint64_t window, std::uint32_t soundEvent);
    void CountdownTick();
    void VolumeLevelTick();
    void ApplyLightStep(const MacroEvent& step);
    void ShowVolumeLevel(int level);
    void RestoreLights();
    void LiveLighting(bool on);
    void WriteKeyLightBitmap();
    ProfileStore& store_;
    KeyboardPort& port_;
    LinkFlags& flags_;
    MonitorShared& shared_;
    SettingsPersistence& settings_;
    platform::KeyboardRepeatSettings& repeat_;
    HostActions& host_;
    LinkHooks& hooks_;
    win::Window& window_;
    std::function<std::int32_t()> dateCode_;
    std::unique_ptr<RippleControl> ripples_;
    // Reports the keyboard did not take: counted, so that a command can tell
    // its sender, and logged once per run of failures.
    unsigned long long writeFailures_ = 0;
    // Commands part of which the keyboard did not take: written whole when
    // they come again (writeAll_ while one is applied).
    std::set<std::uint16_t> unsure_;
    bool writeAll_ = false;
    log::RepeatFilter writeFailureLog_{log::Level::Warning, "keyboard"};
    int lastVolumeLevel_ = 0;
    std::uint64_t switchedWindow_ = 0;
    bool switchActive_ = false;
    bool foregroundUnknownSaid_ = false;
    bool volumeShowing_ = false;
    // The damaged settings file a Config was last told of.
    std::filesystem::path damageTold_;
    // The damaged files of the data folder a Config was told of (bits as
    // SettingsPersistence::DamagedFiles).
    std::uint32_t damageToldFiles_ = 0;
    // Read by the ripple workers when they end.
    std::atomic<bool> lightMacroActive_{false};
};

// Payload size a command code must have; 0 for codes that are not commands.
std::size_t CommandPayloadSize(std::uint16_t code);

}  // namespace vyre
