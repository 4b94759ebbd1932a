#pragma once
// Quick help ids of the main dialog's and the pages' controls. Help id n
// shows line n - 1 of the language's help file (assets/Help/), so every file
// has one line per id, in this order.

#include "config/keys/key_help_ids.h"  // the key assignment page, 46..79

namespace vyre::help {

// The main dialog.
inline constexpr int kLanguage = 1;
inline constexpr int kTabMainControl = 3;
inline constexpr int kTabKeyAssignment = 4;
inline constexpr int kTabIlluminationAndStatistics = 5;  // the two tabs share their text
inline constexpr int kTabSupport = 6;
inline constexpr int kCreateProfile = 7;
inline constexpr int kLoadProfile = 8;
inline constexpr int kSaveProfile = 9;
inline constexpr int kEditProfile = 10;
inline constexpr int kProfileSlot1 = 11;  // .. 15 for slot 5
// Name labels 2..5 take 16..19; label 1 has a line of its own (20), since
// 15 is the fifth slot's.
inline constexpr int kProfileName1 = 20;
inline constexpr int kProfileName2 = 16;
inline constexpr int kMinimise = 21;
inline constexpr int kClose = 22;
inline constexpr int kOk = 23;
inline constexpr int kApply = 24;
inline constexpr int kCancel = 25;

constexpr int ProfileNameHelp(int profile) {
    return profile == 0 ? kProfileName1 : kProfileName2 + profile - 1;
}

// The main control page.
inline constexpr int kCapsLock = 26;
inline constexpr int kFnKey = 27;
inline constexpr int kRightWindowsKey = 28;
inline constexpr int kRepeatDelay = 29;
inline constexpr int kRepeatRate = 30;
inline constexpr int kRepeatTest = 31;
inline constexpr int kMacroSound = 32;
inline constexpr int kProfileSound = 33;
inline constexpr int kTrophySound = 34;
inline constexpr int kSoundVolume = 35;
inline constexpr int kOption1 = 36;  // .. 40 for the fifth option
inline constexpr int kLightLevel = 41;
inline constexpr int kIllumination = 42;
inline constexpr int kIlluminationAfter = 43;
inline constexpr int kReset = 44;
inline constexpr int kCharacterRepeat = 45;

// The key function dialogs and the countdown timer dialogs.
inline constexpr int kShortcutKey = 81;
inline constexpr int kShortcutShift = 82;
inline constexpr int kShortcutCtrl = 83;
inline constexpr int kShortcutWin = 84;
inline constexpr int kShortcutAlt = 85;
inline constexpr int kShortcutNoModifiers = 86;
inline constexpr int kQuickLaunchPath = 87;
inline constexpr int kQuickLaunchBrowse = 88;
inline constexpr int kMediaPlayer = 89;
inline constexpr int kRemapKey = 90;
inline constexpr int kTimerName = 91;
inline constexpr int kTimerSeconds = 92;
inline constexpr int kTimerMenu = 93;
inline constexpr int kTimerModify = 94;
inline constexpr int kTimerDelete = 95;
inline constexpr int kKeyDialogOk = 96;
inline constexpr int kKeyDialogCancel = 97;
inline constexpr int kKeyDialogClose = 98;

// The macro manager and the light macro editor.
inline constexpr int kMacroSetBox = 151;
inline constexpr int kMacroList = 152;
inline constexpr int kMacroSequence = 153;
inline constexpr int kMacroRecord = 154;
inline constexpr int kMacroRecordDelays = 155;
inline constexpr int kMacroRepeat = 156;
inline constexpr int kMacroLoops = 157;
inline constexpr int kMacroSendDefault = 158;
inline constexpr int kMacroNew = 159;
inline constexpr int kMacroDelete = 160;
inline constexpr int kMacroOk = 161;
inline constexpr int kMacroCancel = 162;

// The illumination page.
inline constexpr int kIlluminationLayer = 111;
inline constexpr int kIlluminationKeyActivate = 112;
inline constexpr int kIlluminationBlinking = 113;
inline constexpr int kIlluminationBlinkingSpeed = 114;
inline constexpr int kIlluminationBreathing = 115;
inline constexpr int kIlluminationBreathingSpeed = 116;
inline constexpr int kIlluminationEffects = 117;
inline constexpr int kIlluminationFadeFx = 118;
inline constexpr int kIlluminationDelay = 119;
inline constexpr int kIlluminationFade = 120;
inline constexpr int kIlluminationRippleFx = 121;
inline constexpr int kIlluminationAutomatic = 122;
inline constexpr int kIlluminationManual = 123;
inline constexpr int kIlluminationLightMacros = 124;
inline constexpr int kIlluminationKey = 125;
inline constexpr int kIlluminationGroupAll = 126;  // .. 131 for ARROW KEYS, in box order
inline constexpr int kIlluminationMacroFeedback = 132;
inline constexpr int kIlluminationVolumeIndicator = 133;

// The statistics and trophies page.
inline constexpr int kStatsPeriodPrevious = 181;
inline constexpr int kStatsPeriodNext = 182;
inline constexpr int kTrophyPrevious = 183;
inline constexpr int kTrophyNext = 184;
inline constexpr int kTrophiesUnlocked = 185;
inline constexpr int kTrophyPoints = 186;
inline constexpr int kTrophyUpload = 187;
inline constexpr int kStatisticsReset = 188;
inline constexpr int kStatisticsList = 196;
inline constexpr int kTrophyPicture = 197;
// The update and support page.
inline constexpr int kSoftwareVersion = 189;
inline constexpr int kFirmwareVersion = 190;
inline constexpr int kSupportProductPage = 191;
inline constexpr int kSupportStartPage = 192;
inline constexpr int kSupportForm = 193;
inline constexpr int kSupportMail = 194;
inline constexpr int kSupportMailAddress = 195;

// The later pages own these ranges; an id without its text yet shows an
// empty line:
//   key assignment page                         46 .. 79
//   key function and countdown timer dialogs    81 .. 109
//   illumination page                          111 .. 149
//   macro manager and light macro editor       151 .. 179
//   statistics, trophies, update and support   181 .. 199
inline constexpr int kLastHelpId = 200;

}  // namespace vyre::help
