#pragma once
// CUpdateSuPportDlg, the update and support page: the keyboard's firmware
// version and this program's version, and five buttons that open the support
// pages and a new support mail with the desktop's handlers. The addresses
// come from the deployment; a button without one is disabled.

#include <QLabel>
#include <QWidget>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "common/profile_store.h"
#include "config/trophies/deployment.h"
#include "widgets/skin_button.h"

namespace vyre {

namespace trophies {
// "%d.%02d" of a version byte (value / 100, value % 100): 5 -> "0.05", 255 -> "2.55".
std::string VersionByteText(int value);
// The firmware version of the keyboard information report (byte 2), as the
// support page and the title band both show it: "1.09".
std::string FirmwareText(const std::uint8_t* deviceInfo);
// "%c.%c%c" of the first, third and fifth characters of a four-part version
// ("1.0.7.0" -> "1.07"); missing parts count as 0.
std::string SoftwareVersionText(std::string_view version);
}  // namespace trophies

class CUpdateSuPportDlg : public QWidget {
  public:
    explicit CUpdateSuPportDlg(const ProfileStore& mirror, QWidget* parent = nullptr);

    // Shows the firmware version of the mirror (on opening and when block 2 arrives).
    void Refresh();
    void SetDeployment(trophies::Deployment deployment);
    // What button 141..145 does.
    void Press(int button);
    // Opens an address (the shell by default).
    std::function<void(const std::string&)> openAddress;

    QString firmwareText() const { return firmware_->text(); }
    QString softwareText() const { return software_->text(); }
    widgets::CSkinButton& button(int id) { return *buttons_[static_cast<std::size_t>(id - 141)]; }

  private:
    const ProfileStore& mirror_;
    trophies::Deployment deployment_;
    QLabel* firmware_ = nullptr;  // 1024
    QLabel* software_ = nullptr;  // 1025
    QLabel* note_ = nullptr;
    std::array<widgets::CSkinButton*, 5> buttons_{};
};

}  // namespace vyre
