#include "config/trophies/update_support_dlg.h"

#include "common/version.h"
#include "config/frame/help_ids.h"
#include "platform/shell.h"
#include "widgets/controls.h"

namespace vyre {

namespace trophies {

std::string VersionByteText(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", value / 100, value % 100);
    return text;
}

std::string FirmwareText(const std::uint8_t* deviceInfo) {
    return VersionByteText(deviceInfo[2]);
}

std::string SoftwareVersionText(std::string_view version) {
    std::string four(version);
    while (std::count(four.begin(), four.end(), '.') < 3) four += ".0";
    auto at = [&](std::size_t i) { return i < four.size() ? four[i] : '0'; };
    return std::string{at(0), '.', at(2), at(4)};
}

}  // namespace trophies

namespace {

struct ButtonArt {
    int id;
    const char* caption;
    const char* what;
    int helpId;
};
const ButtonArt kButtons[5] = {
    {141, "PRODUCT SUPPORT", "Help for the Vyre Lumo", help::kSupportProductPage},
    {142, "SUPPORT CENTRE", "Answers for every product", help::kSupportStartPage},
    {143, "SUPPORT FORM", "Ask the support team", help::kSupportForm},
    {144, "E-MAIL SUPPORT", "Write to the support team", help::kSupportMail},
    {145, "", "", help::kSupportMailAddress},
};

QLabel* Label(QWidget* parent, const QString& text, const QRect& at, int size, bool bold,
              const char* colour) {
    auto* label = new QLabel(text, parent);
    QFont f = widgets::TextFont(size, bold);
    if (bold) f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(f);
    label->setStyleSheet(QString("color: %1; background: transparent;").arg(colour));
    label->setGeometry(at);
    return label;
}

}  // namespace

CUpdateSuPportDlg::CUpdateSuPportDlg(const ProfileStore& mirror, QWidget* parent)
    : QWidget(parent), mirror_(mirror), deployment_(trophies::LoadDeployment()) {
    openAddress = [](const std::string& address) { platform::ShellOpen(address); };

    Label(this, "VERSIONS", {24, 16, 300, 16}, 12, true, "#9aa3ad");
    Label(this, "Software", {24, 48, 150, 18}, 13, false, "#9aa3ad");
    software_ = Label(this, "", {180, 44, 140, 24}, 18, true, "#ffffff");
    auto* softwareHelp = new widgets::CSkinLabel(this);
    softwareHelp->setGeometry(24, 44, 296, 24);
    softwareHelp->setHelpId(help::kSoftwareVersion);
    Label(this, "Keyboard firmware", {24, 84, 150, 18}, 13, false, "#9aa3ad");
    firmware_ = Label(this, "", {180, 80, 160, 24}, 18, true, "#ffffff");
    auto* firmwareHelp = new widgets::CSkinLabel(this);
    firmwareHelp->setGeometry(24, 80, 316, 24);
    firmwareHelp->setHelpId(help::kFirmwareVersion);
    Label(this,
          "The keyboard's firmware is brought up to date by the firmware update program when "
          "the keyboard needs it.",
          {24, 124, 320, 52}, 12, false, "#9aa3ad")
        ->setWordWrap(true);

    Label(this, "SUPPORT", {380, 16, 300, 16}, 12, true, "#9aa3ad");
    for (int i = 0; i < 5; ++i) {
        const ButtonArt& art = kButtons[i];
        auto* b = new widgets::CSkinButton(widgets::ControlKind::Push, art.caption, this);
        b->setHelpId(art.helpId);
        if (i < 4) {
            b->setGeometry(380, 40 + i * 40, 170, 30);
            Label(this, art.what, {564, 40 + i * 40, 200, 30}, 12, false, "#9aa3ad");
        } else {
            b->setGeometry(380, 200, 376, 26);
        }
        QObject::connect(b, &QAbstractButton::clicked, this, [this, id = art.id] { Press(id); });
        buttons_[static_cast<std::size_t>(i)] = b;
    }
    note_ = Label(this, "", {380, 236, 376, 36}, 12, false, "#e0a422");
    note_->setWordWrap(true);
    software_->setText(QString::fromStdString(trophies::SoftwareVersionText(kSoftwareVersion)));
    SetDeployment(deployment_);
    Refresh();
}

void CUpdateSuPportDlg::Refresh() {
    firmware_->setText(QString::fromStdString(trophies::FirmwareText(mirror_.deviceInfoReport)));
}

void CUpdateSuPportDlg::SetDeployment(trophies::Deployment deployment) {
    deployment_ = std::move(deployment);
    int missing = 0;
    for (int i = 0; i < 5; ++i) {
        const int id = kButtons[i].id;
        const bool set = !trophies::SupportAddress(deployment_, id).empty();
        buttons_[static_cast<std::size_t>(i)]->setEnabled(set);
        buttons_[static_cast<std::size_t>(i)]->setToolTip(
            set ? QString() : "Not configured for this installation");
        missing += set ? 0 : 1;
    }
    buttons_[4]->setText(deployment_.supportMail.empty()
                             ? QString("NO SUPPORT ADDRESS")
                             : QString::fromStdString(deployment_.supportMail));
    note_->setText(missing == 5 ? "No support addresses are configured for this installation."
                   : missing > 0
                       ? "Some support addresses are not configured for this installation."
                       : QString());
}

void CUpdateSuPportDlg::Press(int button) {
    const std::string address = trophies::SupportAddress(deployment_, button);
    if (!address.empty() && openAddress) openAddress(address);
}

}  // namespace vyre
