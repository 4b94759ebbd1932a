// The keyboard link's read-back of the keyboard, the profile application and
// the settings load: what runs after a keyboard was opened.

#include <array>
#include <cstring>

#include "common/key_functions.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/reports.h"
#include "monitor/link/keyboard_link.h"

namespace vyre {
namespace {

constexpr const char* kArea = "read-back";

template <typename T>
std::span<std::uint8_t> Bytes(T& field) {
    return std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&field), sizeof field);
}

}  // namespace

KeyboardLink::KeyboardLink(ProfileStore& store, KeyboardPort& port, LinkFlags& flags,
                           MonitorShared& shared, SettingsPersistence& settings,
                           platform::KeyboardRepeatSettings& repeat, HostActions& host,
                           LinkHooks& hooks, win::Window& window)
    : store_(store),
      port_(port),
      flags_(flags),
      shared_(shared),
      settings_(settings),
      repeat_(repeat),
      host_(host),
      hooks_(hooks),
      window_(window),
      ripples_(std::make_unique<RippleControl>(store, port, [this] { return lightMacroActive_.load(); })) {}

KeyboardLink::~KeyboardLink() = default;

std::int8_t KeyboardLink::WriteReport(const std::uint8_t* bytes, std::size_t length, int pollMs) {
    const std::int8_t status = port_.WriteFeatureReport(bytes, length, pollMs);
    // A keyboard still busy when the poll gave up has not taken the report
    // either: whoever sent it must not take it for done.
    if (status == kReportNotWritten || status == static_cast<std::int8_t>(kStatusBusy)) {
        ++writeFailures_;
        log::Debug("keyboard", log::Format("report 0x%02x could not be written", bytes[0]));
        if (port_.IsOpen()) writeFailureLog_.Write("the keyboard did not take a report");
    }
    return status;
}

void KeyboardLink::WriteActiveProfile(int profile, int pollMs) {
    const auto report = report::ActiveProfileReport(profile);
    std::memcpy(store_.activeProfileReport, report.data(), report.size());
    WriteReport(report.data(), report.size(), pollMs);
}

void KeyboardLink::ReadRequested(int profile, std::uint8_t code, std::uint8_t id,
                                 std::span<std::uint8_t> target) {
    const auto exchange = port_.HoldExchanges();
    const auto request = report::RequestReport(profile, code);
    WriteReport(request.data(), request.size(), kDefaultPollMs);
    report::PrepareReadBuffer(id, target);
    port_.GetFeature(target.data(), target.size());  // a failed read leaves the prepared buffer
}

bool KeyboardLink::ReadBackKeyboard(bool full) {
    HostSettingsBlock& host = store_.hostSettingsBlock;

    // 1. Keyboard information; a keyboard that has just started answers
    //    version 0 (or 0xFF) for a while.
    for (int waited = 0;; waited += kDeviceInfoRetryMs) {
        report::PrepareReadBuffer(report::kDeviceInfo, Bytes(store_.deviceInfoReport));
        port_.GetFeature(store_.deviceInfoReport, sizeof store_.deviceInfoReport);
        const std::uint8_t version = store_.deviceInfoReport[report::kFirmwareVersion];
        if (version != 0 && version != 0xFF) break;
        if (waited >= kDeviceInfoWaitMs) {
            log::Warning(kArea, log::Format("the keyboard reported no firmware version within %d s: "
                                            "it is taken as not ready",
                                            kDeviceInfoWaitMs / 1000));
            flags_.connected = 0;
            return false;
        }
        if (!port_.SleepWhileConnected(kDeviceInfoRetryMs)) {
            log::Info(kArea, "the keyboard went away before it answered");
            return false;
        }
    }
    host.layoutCode = store_.deviceInfoReport[report::kLayoutCode];

    // 2. Firmware check.
    const int version = store_.deviceInfoReport[report::kFirmwareVersion];
    const int version2 = store_.deviceInfoReport[report::kFirmwareVersion2];
    const int expected = host.modelFlag == 1   ? kExpectedFirmwareA
                         : host.modelFlag == 2 ? kExpectedFirmwareB
                                               : 0;
    if (version > expected) {
        log::Warning(kArea,
                     log::Format("firmware %d is newer than %d, the version this program knows",
                                 version, expected));
        if (hooks_.newerFirmwarePopup) hooks_.newerFirmwarePopup();
        flags_.connected = 0;
    } else if (version < expected || (host.modelFlag == 2 && version2 < kMinimumFirmware2B)) {
        log::Warning(kArea, log::Format("firmware %d (%d) needs an update; starting the updater",
                                        version, version2));
        if (!hooks_.startFirmwareUpdater || !hooks_.startFirmwareUpdater()) {
            log::Warning(kArea, "the firmware update program could not be started");
        }
        if (win::HWND config = FindConfigLinkWindow()) {
            win::PostMessage(config, link::kMsgNotify, link::notice::kGone,
                             link::notice::kFirmwareUpdateStarted);
        }
        return false;
    }

    // 3. The keyboard takes the store's current profile.
    WriteActiveProfile(store_.currentProfile(), kDefaultPollMs);

    // Slots whose macro or light macro has to be read, marked by the key
    // functions read below.
    bool macroMarks[kProfileCount][kMacroSlotsPerProfile] = {};
    bool lightMarks[kProfileCount][kDataSlotsPerProfile] = {};
    auto mark = [&](int p, int slot, std::uint8_t code, bool macros) {
        if (macros && code == fncode::kMacro && SlotHasMacro(slot)) macroMarks[p][slot] = true;
        if (code == fncode::kLightMacro && SlotHasData(slot)) lightMarks[p][slot] = true;
    };

    // 4.
    for (int p = 0; p < kProfileCount; ++p) {
        ReadRequested(p, report::kRequestKeyRemap, report::kKeyRemap, store_.keyRemapReports[p]);
    }
    // 5.
    if (full) {
        for (int p = 0; p < kProfileCount; ++p) {
            auto& image = store_.functionKeyReports[p];
            ReadRequested(p, report::kRequestFunctionKeys, report::kFunctionKeys, image);
            for (std::size_t n = 0; n < report::kFunctionKeyEntryCount; ++n) {
                const std::uint8_t code =
                    image[report::kFunctionKeyEntries + n * report::kFunctionEntrySize];
                mark(p, static_cast<int>(112 + n), code, false);
            }
        }
        for (int p = 0; p < kProfileCount; ++p) {
            auto& image = store_.thumbKeyReports[p];
            ReadRequested(p, report::kRequestThumbKeys, report::kThumbKeys, image);
            for (std::size_t n = 0; n < report::kThumbKeyEntryCount; ++n) {
                const std::uint8_t code =
                    image[report::kThumbKeyEntries + n * report::kFunctionEntrySize];
                mark(p, static_cast<int>(10 + n), code, true);
            }
        }
    }
    // 6.
    for (int p = 0; p < kProfileCount; ++p) {
        ReadRequested(p, report::kRequestProfileOptions, report::kProfileOptions,
                      store_.profileOptionReports[p]);
    }
    // 7.
    for (int p = 0; p < kProfileCount; ++p) {
        auto& image = store_.flexKeyReports[p];
        ReadRequested(p, report::kRequestFlexKeys, report::kFlexKeys, image);
        for (std::size_t n = 0; n < report::kFlexKeyEntryCount; ++n) {
            const std::uint8_t code =
                image[report::kFlexKeyEntries + n * report::kFunctionEntrySize];
            mark(p, static_cast<int>(16 + n), code, true);
        }
    }
    // 8.
    for (int p = 0; p < kProfileCount; ++p) {
        ReadRequested(p, report::kRequestOptionBits, report::kOptionBits,
                      store_.lightOptionReports[p]);
    }
    for (int p = 0; p < kProfileCount; ++p) {
        ReadRequested(p, report::kRequestLightSettings, report::kLightSettings,
                      store_.lightReports[p]);
    }
    // 9. Marked macros; the others keep their images.
    for (int p = 0; p < kProfileCount; ++p) {
        for (int slot = 0; slot < kMacroSlotsPerProfile; ++slot) {
            if (!macroMarks[p][slot]) continue;
            ReadRequested(p, *report::MacroRequest(slot), report::kMacro,
                          Bytes(store_.macroImage(p, slot)));
        }
    }
    // 10. Lighting of model B.
    if (host.modelFlag == 2) {
        for (int p = 0; p < kProfileCount; ++p) {
            ReadRequested(p, report::kRequestEffectSequence, report::kEffectSequence,
                          Bytes(store_.effectReports[p]));
        }
        for (int mode = 0; mode < kIlluminationModes; ++mode) {
            for (int p = 0; p < kProfileCount; ++p) {
                for (int layer = 0; layer < kIlluminationLayers; ++layer) {
                    if (!report::IlluminationLayerUsed(mode, layer)) continue;
                    ReadRequested(p, *report::IlluminationRequest(mode, layer),
                                  report::kIllumination, store_.illumination(p, mode, layer));
                }
            }
        }
        if (full) {
            for (int p = 0; p < kProfileCount; ++p) {
                for (int slot = 0; slot < kDataSlotsPerProfile; ++slot) {
                    if (lightMarks[p][slot])
                        settings_.ReadLightMacroBlock(p, slot, store_.lightMacro(p, slot));
                }
            }
        }
    }
    // 11. Keyboard-wide settings, read without a request.
    report::PrepareReadBuffer(report::kGlobal14, Bytes(store_.globalReport14));
    store_.globalReport14[1] = static_cast<std::uint8_t>(report::kGlobal14Length);
    port_.GetFeature(store_.globalReport14, sizeof store_.globalReport14);
    return true;
}

void KeyboardLink::ApplyProfile(int profile, bool write) {
    if (!IsProfile(profile)) return;
    if (write) WriteActiveProfile(profile, kDefaultPollMs);
    const ProfileHostRecord& rec = store_.hostRecord(profile);
    repeat_.SetDelay(platform::kRepeatDelayMax - rec.repeatDelay.get(), write);
    repeat_.SetSpeed(rec.repeatRate.get(), write);
    if (win::HWND sound = shared_.sound.load()) {
        win::PostMessage(sound, link::kMsgPlaySound, 0,
                         reinterpret_cast<win::LPARAM>(&store_.hostRecord(profile).soundSettings));
    }
}

void KeyboardLink::LoadSettings() {
    const platform::KeyboardRepeat system = repeat_.Get();
    settings_.Load(store_, system, Now());
    // Statistics kept in an earlier hour start a new period before any count.
    StatisticsRollOver();

    // The system's repeat settings stay as they are: the current profile takes them.
    ProfileHostRecord& rec = store_.hostRecord(store_.currentProfile());
    rec.repeatDelay = platform::kRepeatDelayMax - system.delay;
    rec.repeatRate = system.speed;
    repeat_.SetDelay(system.delay, false);
    repeat_.SetSpeed(system.speed, false);
    if (win::HWND sound = shared_.sound.load()) {
        win::PostMessage(sound, link::kMsgPlaySound, 0,
                         reinterpret_cast<win::LPARAM>(&rec.soundSettings));
    }

    window_.SetTimer(kTimerStatistics, 10000);
    window_.SetTimer(kTimerProgramSwitch, 2000);
    window_.SetTimer(kTimerCountdown, 1000);
    UpdateVolumeDisplayTimer();
    PublishProfiles(false);
    PostDumpToConfig();
}

void KeyboardLink::SaveAllSettings() {
    // Stamping the date code closes the period: roll it over first.
    StatisticsRollOver();
    settings_.SaveAll(store_, Now());
}

void KeyboardLink::UpdateVolumeDisplayTimer() {
    const ProfileHostRecord& rec = store_.hostRecord(store_.currentProfile());
    if (store_.hostSettingsBlock.modelFlag == 2 && (rec.soundSettings.volumeDisplay & 1) != 0) {
        window_.SetTimer(kTimerVolumeDisplay, 100);
    } else {
        window_.KillTimer(kTimerVolumeDisplay);
    }
}

void KeyboardLink::PostDumpToConfig() {
    if (win::HWND config = FindConfigLinkWindow()) {
        win::PostMessage(window_.GetSafeHwnd(), link::kMsgRequest, link::request::kRegister,
                         static_cast<win::LPARAM>(config));
    }
}

}  // namespace vyre
