#pragma once
// What the keyboard asks of the computer: media and volume keys, the media
// player of the profile, a program assigned to a key, the Config, and the
// master volume the number keys show.

#include <memory>
#include <string>
#include <string_view>

#include "platform/desktop.h"
#include "platform/input.h"
#include "platform/volume.h"

namespace vyre {

// Media player choices of a profile.
inline constexpr int kPlayerDefault = 0;  // the desktop's own, through the media-select key
inline constexpr int kPlayerITunes = 1;   // not on this system
inline constexpr int kPlayerVlc = 2;
inline constexpr int kPlayerWinamp = 3;  // not on this system
// How long the media-select key is held for the default player.
inline constexpr int kMediaSelectHoldMs = 300;

class HostActions {
  public:
    virtual ~HostActions() = default;
    // One press and release (held `holdMs` in between).
    virtual void PressKey(platform::MediaKey key, int holdMs = 0) = 0;
    virtual void OpenMediaPlayer(int player) = 0;
    // Starts the Config from the Monitor's folder.
    virtual void StartConfig() = 0;
    // Starts a key's program: the path as command line, in its folder.
    virtual void Launch(std::u16string_view path) = 0;
    virtual int VolumePercent() = 0;
    // The program in front; nullopt when it cannot be known here.
    virtual std::optional<platform::ForegroundProgram> Foreground() = 0;
};

// The real actions (or, with --record, their record).
class SystemHostActions : public HostActions {
  public:
    SystemHostActions(std::unique_ptr<platform::KeyInjector> keys,
                      std::unique_ptr<platform::MasterVolume> volume,
                      std::unique_ptr<platform::Desktop> desktop = nullptr);
    void PressKey(platform::MediaKey key, int holdMs = 0) override;
    void OpenMediaPlayer(int player) override;
    void StartConfig() override;
    void Launch(std::u16string_view path) override;
    int VolumePercent() override;
    std::optional<platform::ForegroundProgram> Foreground() override;

  private:
    std::unique_ptr<platform::KeyInjector> keys_;
    std::unique_ptr<platform::MasterVolume> volume_;
    std::unique_ptr<platform::Desktop> desktop_;
};

// The folder a key's program starts in: its path up to the last separator.
std::string LaunchFolder(std::string_view path);

// The folder of a program as the profile switching compares it: every
// separator written as a backslash, a drive part ("C:\\") removed, and the
// file name removed ("C:\\Games\\x.exe" gives "Games\\", "/opt/game/run"
// gives "\\opt\\game\\").
std::string ProgramFolder(std::string_view path);

// Whether a program-linked path names the program in front. In the system's
// shared program folders (/usr/bin, /usr/games, ...) only the program itself
// matches; elsewhere every program of the linked program's folder does (a
// game's own folder), with "Program Files" and "Program Files (x86)" taken as
// one. A Wine or Proton game is the Windows program its loader's command line
// names, compared without regard to case from its drive on (a Wine prefix's
// drive_c or the Z: drive that is the file system's root). A sandboxed
// (Flatpak) program matches its app id only.
bool LinkMatches(std::string_view link, const platform::ForegroundProgram& fg);

}  // namespace vyre
