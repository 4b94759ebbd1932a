#pragma once
// The vocabulary of the link between the Monitor and the Config, and of the
// talk protocol with other device programs: message numbers, copied-data
// envelope, block and list codes with their sizes, requests, notifications,
// notices, dialog orders and notices, window classes and titles.
//
// Copied data carries dwData = (code << 16) | direction tag.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace vyre::link {

// ---- window messages ----------------------------------------------------------
inline constexpr unsigned kWmUser = 1024;
inline constexpr unsigned kWmCopyData = 74;
inline constexpr unsigned kMsgQuickHelp = kWmUser + 4;        // 1028, Config pages
inline constexpr unsigned kMsgRequest = kWmUser + 7;          // 1031
inline constexpr unsigned kMsgNotify = kWmUser + 8;           // 1032
inline constexpr unsigned kMsgCommandBlock = kWmUser + 9;     // 1033, keyboard thread
inline constexpr unsigned kMsgPlaySound = kWmUser + 12;       // 1036, sound thread
inline constexpr unsigned kMsgLanguageChanged = kWmUser + 15; // 1039, Config pages
inline constexpr unsigned kMsgLightRequest = kWmUser + 16;    // 1040
inline constexpr unsigned kMsgRestoreDialog = kWmUser + 17;  // 1041, to the Config's main window
inline constexpr unsigned kMsgExternalControl = kWmUser + 1001;  // 2025, control window
inline constexpr std::string_view kTalkMessageName = "WM_TALK_MSG";  // registered message

// ---- copied-data envelope ----------------------------------------------------------
inline constexpr std::uint16_t kTagCommand = 1031;       // Config -> Monitor
inline constexpr std::uint16_t kTagNotification = 1032;  // Monitor -> Config
inline constexpr std::uint16_t kTagTalkRecords = 2025;   // other device programs -> Monitor

constexpr std::uint32_t MakeDwData(std::uint16_t code, std::uint16_t tag) {
    return (static_cast<std::uint32_t>(code) << 16) | tag;
}
constexpr std::uint16_t TagOf(std::uint32_t dwData) { return static_cast<std::uint16_t>(dwData); }
constexpr std::uint16_t CodeOf(std::uint32_t dwData) { return static_cast<std::uint16_t>(dwData >> 16); }

// ---- settings blocks (command and notification payloads) --------------------------
namespace block {
inline constexpr std::uint16_t kDeviceInfo = 2;         // notification only
inline constexpr std::uint16_t kActiveProfile = 3;
inline constexpr std::uint16_t kKeyRemap = 4;
inline constexpr std::uint16_t kFunctionKeys = 5;
inline constexpr std::uint16_t kThumbKeys = 7;
inline constexpr std::uint16_t kProfileOptions = 8;
inline constexpr std::uint16_t kFlexKeys = 9;
inline constexpr std::uint16_t kLightOptions = 10;
inline constexpr std::uint16_t kMacros = 11;
inline constexpr std::uint16_t kHostSettings = 12;
inline constexpr std::uint16_t kStatistics = 14;        // notification only
inline constexpr std::uint16_t kLightMacroBlocks = 33;
inline constexpr std::uint16_t kIllumination = 34;
inline constexpr std::uint16_t kLightSettings = 38;
inline constexpr std::uint16_t kGlobal14 = 40;
inline constexpr std::uint16_t kGlobal16 = 41;
inline constexpr std::uint16_t kReserved = 42;
inline constexpr std::uint16_t kEffects = 52;
}  // namespace block

struct BlockInfo {
    std::uint16_t code;
    std::size_t size;
};
inline constexpr BlockInfo kBlocks[] = {
    {block::kDeviceInfo, 8},          {block::kActiveProfile, 3},     {block::kKeyRemap, 625},
    {block::kFunctionKeys, 475},      {block::kThumbKeys, 115},       {block::kProfileOptions, 40},
    {block::kFlexKeys, 1470},         {block::kLightOptions, 30},     {block::kMacros, 1121120},
    {block::kHostSettings, 470879},   {block::kStatistics, 248},      {block::kLightMacroBlocks, 1408590},
    {block::kIllumination, 27830},    {block::kLightSettings, 80},    {block::kGlobal14, 20},
    {block::kGlobal16, 16},           {block::kReserved, 14},         {block::kEffects, 10010},
};
// Size of a settings block; 0 when `code` is not a block.
constexpr std::size_t BlockSize(std::uint16_t code) {
    for (const BlockInfo& b : kBlocks) {
        if (b.code == code) return b.size;
    }
    return 0;
}
// Offset of the statistics (block 14) inside block 12.
inline constexpr std::size_t kStatisticsInHostSettings = 469630;
inline constexpr std::size_t kStartPageInHostSettings = 469882;

// ---- lists (notifications carry records back to back) -------------------------------
namespace list {
inline constexpr std::uint16_t kTimers = 21;
inline constexpr std::uint16_t kMacros = 25;
inline constexpr std::uint16_t kMacroSets = 26;
inline constexpr std::uint16_t kLightMacroSets = 31;
inline constexpr std::uint16_t kLightMacros = 32;
inline constexpr std::uint16_t kTalkAdded = 103;
inline constexpr std::uint16_t kTalkRemoved = 104;
inline constexpr std::uint16_t kTalkReplaced = 105;
}  // namespace list

// Record size of a list code; 0 when `code` is not a list.
constexpr std::size_t ListRecordSize(std::uint16_t code) {
    switch (code) {
        case list::kTimers: return 37;
        case list::kMacros: return 2004;
        case list::kMacroSets: return 49;
        case list::kLightMacroSets: return 49;
        case list::kLightMacros: return 2004;
        case list::kTalkAdded:
        case list::kTalkRemoved:
        case list::kTalkReplaced: return 64;
        default: return 0;
    }
}

// ---- commands (Config -> Monitor, copied data tagged kTagCommand) ---------------------
// Besides whole blocks, single records:
namespace command {
inline constexpr std::uint16_t kTimerAdd = 19;        // one 37-byte timer
inline constexpr std::uint16_t kTimerDelete = 20;     // the timer as before deletion
inline constexpr std::uint16_t kTimerEdit = 35;
inline constexpr std::uint16_t kMacroSet = 27;        // one 49-byte set, byte 8 = change code
inline constexpr std::uint16_t kMacro = 28;           // one 2004-byte macro
inline constexpr std::uint16_t kLightMacroSet = 31;   // one 49-byte set
inline constexpr std::uint16_t kLightMacro = 32;      // one 2004-byte macro
}  // namespace command

// Payload size of a single-record command; 0 for others.
constexpr std::size_t CommandRecordSize(std::uint16_t code) {
    switch (code) {
        case command::kTimerAdd:
        case command::kTimerDelete:
        case command::kTimerEdit: return 37;
        case command::kMacroSet:
        case command::kLightMacroSet: return 49;
        case command::kMacro:
        case command::kLightMacro: return 2004;
        default: return 0;
    }
}

// The full upload, in this order.
inline constexpr std::uint16_t kFullUploadOrder[] = {3, 4, 5, 7, 8, 9, 10, 38, 52, 40, 41, 11, 33, 42, 34, 12};
// The registration dump, in this order; 103 follows only when talk records exist.
inline constexpr std::uint16_t kRegistrationDumpOrder[] = {2,  4,  5,  7,  8,  9,  10, 38, 52, 40, 41, 11,
                                                           33, 42, 12, 26, 25, 21, 34, 31, 32, 3};

// The Monitor's command block: dwData, cbData, then room for the largest block.
inline constexpr std::size_t kCommandPayloadMax = 1408590;
inline constexpr std::size_t kCommandBlockSize = 8 + kCommandPayloadMax;  // 1,408,598

// ---- requests (PostMessage(control window, kMsgRequest, code, lParam)) ---------------
namespace request {
inline constexpr unsigned kRegister = 1;           // lParam = link window; registration dump
inline constexpr unsigned kWindowsProfile = 17;    // lParam = profile number
inline constexpr unsigned kResetStatistics = 18;   // lParam = 1
inline constexpr unsigned kReset = 29;             // lParam = link window
inline constexpr unsigned kSendKeyReports = 35;    // lParam = a window; notifications 9, 5, 7
inline constexpr unsigned kReapplyProfile = 39;    // lParam = 0
}  // namespace request

// ---- notifications (Monitor -> Config, copied data tagged kTagNotification) -----------
namespace notification {
inline constexpr std::uint16_t kNoKeyboard = 15;   // no payload
inline constexpr std::uint16_t kNotReady = 16;     // no payload
// A keyboard is attached but this user may not open its device node: payload
// the node's path (UTF-8, at most 4096 bytes, no terminating zero).
inline constexpr std::uint16_t kKeyboardNoAccess = 17;
inline constexpr std::size_t kKeyboardNoAccessPathMax = 4096;
}  // namespace notification

// ---- notices (PostMessage(link window, kMsgNotify, code, lParam)) ---------------------
namespace notice {
inline constexpr unsigned kResetDone = 30;
inline constexpr unsigned kTrophy = 36;           // lParam = (trophy number << 16) | 3
inline constexpr unsigned kGone = 37;             // lParam 0 (Monitor ends), kKeyboardRemoved or kFirmwareUpdateStarted
inline constexpr unsigned kDumpComplete = 43;
inline constexpr unsigned kNotWritten = 46;       // lParam = the command the keyboard did not take whole
inline constexpr unsigned kSettingsDamaged = 47;  // after a dump: a file was damaged (lParam: which, below)
// The files of kSettingsDamaged.
inline constexpr long kDamagedRegistry = 0;
inline constexpr long kDamagedTimers = 1;       // Timer.ini
inline constexpr long kDamagedMacros = 2;       // Preset_sequence.dat
inline constexpr long kDamagedLightMacros = 3;  // Preset_sequenceIll.dat
inline constexpr long kDamagedLightBlocks = 4;  // IlluminationButtonSet.dat
inline constexpr long kDamagedFileCount = 5;
inline constexpr long kFirmwareUpdateStarted = 999;
inline constexpr long kKeyboardRemoved = 1;       // notice 37: the keyboard was unplugged
constexpr long TrophyParam(int trophyNumber) { return (static_cast<long>(trophyNumber) << 16) | 3; }
}  // namespace notice

// ---- link requests (Config pages -> link window, kMsgRequest) -------------------------
namespace link_request {
inline constexpr unsigned kTimerAdd = 19;
inline constexpr unsigned kTimerDelete = 20;
inline constexpr unsigned kTimerEdit = 35;
inline constexpr unsigned kMacroSet = 27;
inline constexpr unsigned kMacro = 28;
inline constexpr unsigned kLightMacroSet = 31;
inline constexpr unsigned kLightMacro = 32;
inline constexpr unsigned kBusyWait = 30;        // lParam 1, posted
inline constexpr unsigned kFullUpload = 44;
}  // namespace link_request

// ---- dialog orders (link window -> main dialog, kMsgRequest) --------------------------
namespace dialog_order {
inline constexpr unsigned kClose = 16;
inline constexpr unsigned kBusyWait = 30;
}  // namespace dialog_order

// ---- dialog notices (link window -> main dialog, kMsgNotify, wParam = code) -----------
namespace dialog_notice {
inline constexpr unsigned kHostSettings = 12;    // lParam 1 when the start page is non-zero
inline constexpr unsigned kNoKeyboard = 15;
inline constexpr unsigned kNotReady = 16;
inline constexpr unsigned kKeyboardNoAccess = 17;
inline constexpr unsigned kTrophy = 36;
inline constexpr unsigned kTalkDevices = 41;     // for notifications 103..105 that changed the list
}  // namespace dialog_notice

// ---- notify message codes inside the Monitor -------------------------------------------
namespace notify {
inline constexpr unsigned kTrayShow = 1;           // to the tray window
inline constexpr unsigned kTrayHide = 2;
inline constexpr unsigned kTrayProfiles = 3;       // to the tray window: the profiles changed,
                                                   // lParam 1 when the current one did
inline constexpr unsigned kTrayNotWritten = 4;     // to the tray window: lParam = a command the
                                                   // keyboard did not take, told to no one else
inline constexpr unsigned kChooseProfile = 14;     // to the keyboard thread, lParam = profile 0..4
inline constexpr unsigned kKeyboardEvent = 13;     // to the keyboard thread, lParam = event value
inline constexpr unsigned kFlexStateWrite = 140;   // to the keyboard thread
inline constexpr unsigned kFlexToggleWrite = 246;
inline constexpr unsigned kExit = 1030;            // to the control window
inline constexpr unsigned kKeyboardWindowUp = 1031;  // to the control window: requests can go on
}  // namespace notify

// ---- talk protocol --------------------------------------------------------------------
namespace talk {
inline constexpr unsigned kCopyDataWParam = 2024;          // wParam of copied data to the partner
inline constexpr std::uint32_t kDevicePresentTag = 0x07970003;
inline constexpr std::uint32_t kDeviceLeavingTag = 0x07970004;
// Talk message ("WM_TALK_MSG") wParam.
inline constexpr unsigned kRemoveRecord = 4;
inline constexpr unsigned kRegisterPartner = 6;
inline constexpr unsigned kForgetPartner = 7;
inline constexpr unsigned kAnnounce = 11;                  // the Monitor's own broadcast
inline constexpr unsigned kFlexState = 140;
inline constexpr unsigned kFlexToggle = 141;
// External control message (kMsgExternalControl) wParam, besides 4, 6, 140, 141.
inline constexpr unsigned kStartConfig = 8;
inline constexpr unsigned kExitMonitor = 9;
inline constexpr unsigned kHideTray = 10;
inline constexpr unsigned kFlexStateAlt = 245;
inline constexpr unsigned kFlexToggleAlt = 246;
// High word of dwData for talk device records sent to the control window.
inline constexpr std::uint16_t kRecordsAdd = 3;
inline constexpr std::uint16_t kRecordsRemove = 4;
inline constexpr std::uint16_t kRecordsReplace = 5;
}  // namespace talk

// ---- windows ----------------------------------------------------------------------------
inline constexpr std::string_view kMonitorProgramName = "Vyre Lumo Monitor";
inline constexpr std::string_view kControlWindowClass = "VYREMKMINIMONITOR";
inline constexpr std::string_view kControlWindowTitle = "Vyre Lumo Monitor Application";
inline constexpr std::string_view kKeyboardWindowName = "Vyre Lumo Monitor HIDFilter";
inline constexpr std::string_view kSoundWindowName = "Vyre Lumo Monitor Sound";
inline constexpr std::string_view kTrayWindowName = "Vyre Lumo Monitor Tray";
inline constexpr std::string_view kLightMacroWindowName = "Vyre MK Monitor Led Macro";
inline constexpr std::string_view kLinkWindowClass = "Vyre Lumo Configuration DataWork Wnd";
inline constexpr std::string_view kLinkWindowTitle = "Vyre Lumo Configuration DataWork Wnd";
inline constexpr std::string_view kMainDialogTitle = "Vyre Lumo Configuration Application";
inline constexpr std::string_view kConfigMainWindowName = "KALVEX Vyre Lumo Configuration Application";
// Title the Monitor looks for before starting the Config on a keyboard event;
// titles compare without regard to case, so it finds the Config's main window.
inline constexpr std::string_view kConfigRunningTitle = "Kalvex Vyre Lumo Configuration Application";

}  // namespace vyre::link
