#include "config/frame/main_ctrl_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

#include "common/key_functions.h"
#include "common/key_table.h"
#include "common/link_codes.h"
#include "common/log.h"
#include "common/macro_image.h"
#include "common/profile_store.h"
#include "config/frame/help_ids.h"
#include "config/keys/character_repeat_dlg.h"
#include "platform/text.h"
#include "platform/window.h"
#include "widgets/popup_dlg.h"

namespace vyre {

namespace main_ctrl {

namespace {
// "1" to "14" have ids of their own; "15" to "30" count up from 32824.
constexpr int kAfterFirstIds[14] = {32882, 32811, 32884, 32813, 32886, 32815, 32888,
                                    32817, 32890, 32819, 32892, 32821, 32894, 32823};
constexpr int kAfter15 = 32824;
}  // namespace

int AfterItemId(int number) {
    if (number < 1 || number > kAfterMax) return 0;
    return number <= 14 ? kAfterFirstIds[number - 1] : kAfter15 + number - 15;
}

int AfterNumber(int id) {
    for (int n = 1; n <= kAfterMax; ++n) {
        if (AfterItemId(n) == id) return n;
    }
    return 0;
}

}  // namespace main_ctrl

namespace {

using namespace main_ctrl;
using widgets::CSkinCheckBox;
using widgets::CSkinSlider;

constexpr const char* kArea = "main control";

// The talk entry the Caps Lock key's talk function keeps in each profile.
constexpr int kCapsTalkEntry = 8;
// The option bits of the five option boxes, in box order.
constexpr int kOptionBits[5] = {2, 3, 4, 0, 5};
constexpr std::uint8_t kSoundBits[3] = {SoundSettings::kMacroSound, SoundSettings::kProfileSound,
                                        SoundSettings::kTrophySound};
constexpr std::uint8_t kFnUsage = 0xF1;
constexpr std::uint8_t kRightWindowsUsage = 0xE7;
constexpr std::uint8_t kCapsLockUsage = 57;
constexpr int kVolumeSteps = 4;
constexpr int kLightLevels = 5;

const char* kIlluminationTexts[6] = {"No illumination",  "Illumination 20%", "Illumination 40%",
                                     "Illumination 60%", "Illumination 80%", "Illumination 100%"};

QString Q(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A section caption of the page.
QLabel* Caption(QWidget* parent, const QString& text, int x, int y, int width = 236) {
    auto* label = new QLabel(text, parent);
    QFont f = widgets::TextFont(12, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    label->setFont(f);
    label->setStyleSheet("color: #9aa3ad; background: transparent;");
    label->setGeometry(x, y, width, 16);
    return label;
}

// The value of a slider, at the right end of its caption.
QLabel* ValueLabel(QWidget* parent, int x, int y, int width = 236) {
    auto* label = new QLabel(parent);
    label->setFont(widgets::TextFont(12));
    label->setStyleSheet("color: #e6e9ee; background: transparent;");
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(x, y, width, 16);
    return label;
}

// The picture of a key beside the Fn choice: a key cap with its legend.
class KeyCapPicture : public QWidget {
  public:
    KeyCapPicture(const QString& legend, QWidget* parent) : QWidget(parent), legend_(legend) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF cap = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        p.setPen(QPen(widgets::colour::kBorder, 1));
        p.setBrush(widgets::colour::kControl);
        p.drawRoundedRect(cap, 3, 3);
        p.setPen(widgets::colour::kText);
        p.setFont(widgets::TextFont(9, true));
        p.drawText(cap, Qt::AlignCenter, legend_);
    }

  private:
    QString legend_;
};

}  // namespace

CMainCtrlDlg::CMainCtrlDlg(ConfigShared& shared, QWidget* parent)
    : QWidget(parent), shared_(shared), repeat_(platform::MakeKeyboardRepeat()) {
    confirmReset = [this] { return widgets::AskWithPopup(window(), 2381, 2380); };

    // Column 1: the keys.
    Caption(this, "CAPS LOCK KEY", 12, 12);
    caps_ = new widgets::CSkinMenuButton("Caps Lock", this);
    caps_->setGeometry(12, 32, 236, 26);
    caps_->setHelpId(help::kCapsLock);
    caps_->onChosen = [this](int id) { ChooseCapsItem(id); };
    BuildCapsMenu();

    Caption(this, "FN FUNCTION ON", 12, 70);
    const char* fnTexts[2] = {"Fn key", "Right Win"};
    const char* legends[2] = {"FN", "WIN"};
    const int fnHelp[2] = {help::kFnKey, help::kRightWindowsKey};
    for (int i = 0; i < 2; ++i) {
        fnPictures_[i] = new KeyCapPicture(legends[i], this);
        fnPictures_[i]->setGeometry(12 + 120 * i, 88, 30, 24);
        fn_[i] = new CSkinCheckBox(fnTexts[i], true, this);
        fn_[i]->setGeometry(46 + 120 * i, 91, 78 + 14 * i, 18);
        fn_[i]->setHelpId(fnHelp[i]);
        QObject::connect(fn_[i], &QAbstractButton::clicked, this, [this, i] {
            profileOptions()[report::kProfileOptionsKey] = i == 0 ? kFnUsage : kRightWindowsUsage;
        });
    }

    // Model A: the repeat sliders and their test field.
    modelAOnly_.push_back(Caption(this, "REPEAT DELAY", 12, 122));
    values_[0] = ValueLabel(this, 12, 122);
    delay_ = new CSkinSlider(this);
    delay_->setAccessibleName("Repeat delay");
    delay_->setGeometry(12, 138, 236, 20);
    delay_->setRange(0, platform::kRepeatDelayMax);
    delay_->setHelpId(help::kRepeatDelay);
    QObject::connect(delay_, &QSlider::valueChanged, this, [this](int position) {
        shared_.mirror->hostRecord(profile()).repeatDelay = position;
        repeat_->SetDelay(platform::kRepeatDelayMax - position, true);
        ShowValues();
    });
    modelAOnly_.push_back(Caption(this, "REPEAT RATE", 12, 164));
    values_[1] = ValueLabel(this, 12, 164);
    rate_ = new CSkinSlider(this);
    rate_->setAccessibleName("Repeat rate");
    rate_->setGeometry(12, 180, 236, 20);
    rate_->setRange(0, platform::kRepeatSpeedMax);
    rate_->setHelpId(help::kRepeatRate);
    QObject::connect(rate_, &QSlider::valueChanged, this, [this](int position) {
        shared_.mirror->hostRecord(profile()).repeatRate = position;
        repeat_->SetSpeed(position, true);
        ShowValues();
    });
    test_ = new widgets::CSkinEdit(this);
    test_->setGeometry(12, 208, 236, 24);
    test_->setPlaceholderText("Hold a key here to try the repeat");
    test_->setAccessibleName("Repeat test");
    test_->setHelpId(help::kRepeatTest);
    modelAOnly_.insert(modelAOnly_.end(), {delay_, rate_, test_, values_[0], values_[1]});

    // Model B: the character repeat dialog instead.
    modelBOnly_.push_back(Caption(this, "CHARACTER REPEAT", 12, 122));
    open_ = new widgets::CSkinButton(widgets::ControlKind::Push, "OPEN", this);
    open_->setGeometry(12, 140, 100, 26);
    open_->setHelpId(help::kCharacterRepeat);
    QObject::connect(open_, &QAbstractButton::clicked, this, [this] { OpenCharacterRepeat(); });
    modelBOnly_.push_back(open_);

    // Column 2: sound.
    Caption(this, "SOUND", 274, 12);
    const char* soundTexts[3] = {"Macro sounds", "Profile sounds", "Trophy sounds"};
    const int soundHelp[3] = {help::kMacroSound, help::kProfileSound, help::kTrophySound};
    for (int i = 0; i < 3; ++i) {
        sounds_[i] = new CSkinCheckBox(soundTexts[i], false, this);
        sounds_[i]->setGeometry(274, 36 + 24 * i, 200, 18);
        sounds_[i]->setHelpId(soundHelp[i]);
        QObject::connect(sounds_[i], &QAbstractButton::clicked, this,
                         [this, i](bool on) { SoundToggled(i, on); });
    }
    Caption(this, "SOUND VOLUME", 274, 122);
    values_[2] = ValueLabel(this, 274, 122);
    volume_ = new CSkinSlider(this);
    volume_->setAccessibleName("Sound volume");
    volume_->setGeometry(274, 138, 236, 20);
    volume_->setRange(0, kVolumeSteps);
    volume_->setHelpId(help::kSoundVolume);
    QObject::connect(volume_, &QSlider::valueChanged, this, [this](int position) {
        shared_.mirror->hostRecord(profile()).soundSettings.volumeStep =
            static_cast<std::int8_t>(position);
        ShowValues();
    });

    // Column 3 (model B): light level, illumination and its delay.
    modelBOnly_.push_back(Caption(this, "LIGHT LEVEL", 536, 12, 227));
    values_[3] = ValueLabel(this, 536, 12, 227);
    lightLevel_ = new CSkinSlider(this);
    lightLevel_->setAccessibleName("Light level");
    lightLevel_->setGeometry(536, 32, 227, 20);
    lightLevel_->setRange(0, kLightLevels);
    lightLevel_->setHelpId(help::kLightLevel);
    QObject::connect(lightLevel_, &QSlider::valueChanged, this, [this](int position) {
        lightSettings()[report::kLightLevel] = static_cast<std::uint8_t>(position);
        ShowValues();
    });
    modelBOnly_.push_back(Caption(this, "ILLUMINATION", 536, 70, 227));
    illumination_ = new widgets::CSkinMenuButton(kIlluminationTexts[5], this);
    illumination_->setGeometry(536, 88, 227, 26);
    illumination_->setHelpId(help::kIllumination);
    illumination_->onChosen = [this](int id) { ChooseIlluminationItem(id); };
    modelBOnly_.push_back(Caption(this, "IDLE DIMMER DELAY", 536, 126, 227));
    after_ = new widgets::CSkinMenuButton("15", this);
    after_->setGeometry(536, 144, 100, 26);
    after_->setHelpId(help::kIlluminationAfter);
    after_->onChosen = [this](int id) { ChooseAfterItem(id); };
    BuildAfterMenu();
    modelBOnly_.insert(modelBOnly_.end(), {lightLevel_, illumination_, after_, values_[3]});

    // The option row and Reset.
    Caption(this, "KEYBOARD OPTIONS", 12, 244);
    for (int i = 0; i < 5; ++i) {
        options_[i] = new CSkinCheckBox(QString("Option %1").arg(i + 1), false, this);
        options_[i]->setGeometry(12 + 120 * i, 266, 110, 18);
        options_[i]->setHelpId(help::kOption1 + i);
        options_[i]->installEventFilter(this);
    }
    reset_ = new widgets::CSkinButton(widgets::ControlKind::WarningPush, "RESET", this);
    reset_->setGeometry(655, 260, 108, 28);
    reset_->setHelpId(help::kReset);
    QObject::connect(reset_, &QAbstractButton::clicked, this, [this] { Reset(); });

    RebuildTalkMenu();
    RebuildIlluminationMenu();
}

CMainCtrlDlg::~CMainCtrlDlg() = default;

void CMainCtrlDlg::SetKeyboardRepeat(std::unique_ptr<platform::KeyboardRepeatSettings> repeat) {
    if (repeat) repeat_ = std::move(repeat);
}

int CMainCtrlDlg::profile() const {
    return shared_.mirror->currentProfile();
}

std::uint8_t* CMainCtrlDlg::profileOptions() {
    return shared_.mirror->profileOptionReports[profile()];
}

std::uint8_t* CMainCtrlDlg::lightSettings() {
    return shared_.mirror->lightReports[profile()];
}

void CMainCtrlDlg::paintEvent(QPaintEvent*) {
    // Thin rules between the columns and above the option row.
    QPainter p(this);
    p.setPen(QPen(widgets::colour::kBorder, 1));
    p.drawLine(QPointF(261.5, 12), QPointF(261.5, 228));
    if (model_ == 2) p.drawLine(QPointF(523.5, 12), QPointF(523.5, 228));
    p.drawLine(QPointF(12, 236.5), QPointF(width() - 12, 236.5));
}

void CMainCtrlDlg::ApplyModel(int modelFlag) {
    if (modelFlag != 1 && modelFlag != 2) return;
    model_ = modelFlag;
    for (QWidget* w : modelAOnly_) w->setVisible(modelFlag == 1);
    for (QWidget* w : modelBOnly_) w->setVisible(modelFlag == 2);
    RebuildIlluminationMenu();
    Refresh();
    update();
}

// ---- refresh ---------------------------------------------------------------------------------

QString CMainCtrlDlg::CapsTextOf(std::uint8_t code) const {
    if (code >= fncode::kTalkFlexlayer && code <= fncode::kTalkDpiStage1 + 4) {
        return Q(
            shared_.mirror->hostSettingsBlock.talkCommands[profile()][kCapsTalkEntry].name.str());
    }
    if (const auto name = FunctionName(code)) return Q(*name);
    // A code the keyboard holds that has no name of its own: the key's name.
    const std::u16string_view key = UsageName(code);
    return key.empty() ? QString("Function %1").arg(code) : Q(key);
}

int CMainCtrlDlg::CapsItemOf(std::uint8_t code) const {
    switch (code) {
        case fncode::kFlexlayer:
            return kFlexlayerThisKeyboard;
        case fncode::kFlexlayerAllDevices:
            return kFlexlayerAllDevices;
        case kCapsLockUsage:
            return kStandard;
        case fncode::kDisabled:
            return kDisable;
        default:
            break;
    }
    const TalkCommandEntry& entry =
        shared_.mirror->hostSettingsBlock.talkCommands[profile()][kCapsTalkEntry];
    for (const auto& [id, item] : talkItems_) {
        if (item.code == code && item.deviceKey == entry.deviceKey()) return id;
    }
    return 0;
}

void CMainCtrlDlg::Refresh() {
    ProfileStore& m = *shared_.mirror;
    const int p = profile();
    const ProfileHostRecord& rec = m.hostRecord(p);
    {
        const QSignalBlocker b1(delay_), b2(rate_), b3(volume_), b4(lightLevel_);
        delay_->setValue(rec.repeatDelay.get());
        rate_->setValue(rec.repeatRate.get());
        volume_->setValue(rec.soundSettings.volumeStep);
        lightLevel_->setValue(m.lightReports[p][report::kLightLevel]);
    }
    ShowValues();
    const std::uint8_t bits = m.lightOptionReports[p][report::kOptionBitsByte];
    for (int i = 0; i < 5; ++i) options_[i]->setChecked((bits >> kOptionBits[i]) & 1);
    for (int i = 0; i < 3; ++i)
        sounds_[i]->setChecked((rec.soundSettings.sounds & kSoundBits[i]) != 0);
    if (model_ != 1 && model_ != 2) return;

    const std::uint8_t* options = m.profileOptionReports[p];
    fn_[options[report::kProfileOptionsKey] == kFnUsage ? 0 : 1]->setChecked(true);
    const std::uint8_t code = options[report::kProfileOptionsCode];
    caps_->setText(CapsTextOf(code));
    caps_->SetChecked(CapsItemOf(code));
    if (model_ == 2) {
        ShowIlluminationText();
        after_->setText(QString::asprintf("%d", m.lightReports[p][report::kLightEffectValue]));
        after_->SetChecked(AfterItemId(m.lightReports[p][report::kLightEffectValue]));
    }
}

void CMainCtrlDlg::ShowValues() {
    for (const QLabel* label : values_) {
        if (label == nullptr) return;  // still being built
    }
    // The delay as the desktop takes it (the slider's right end is the
    // shortest), the rate in repeats per second.
    values_[0]->setText(
        QString("%1 ms").arg(platform::RepeatDelayMs(platform::kRepeatDelayMax - delay_->value())));
    values_[1]->setText(QString("%1 per second")
                            .arg(1000.0 / platform::RepeatIntervalMs(rate_->value()), 0, 'f', 1));
    values_[2]->setText(QString("%1 of %2").arg(volume_->value()).arg(kVolumeSteps));
    values_[3]->setText(QString("%1 of %2").arg(lightLevel_->value()).arg(kLightLevels));
}

void CMainCtrlDlg::ShowIlluminationText() {
    const std::uint8_t* light = lightSettings();
    switch (light[report::kEffectSource]) {
        case 1:
            illumination_->setText("Starlit sky");
            illumination_->SetChecked(kStarlitSky);
            return;
        case 3:
            illumination_->setText("Fall asleep");
            illumination_->SetChecked(kFallAsleep);
            return;
        case 2: {
            const std::string name = shared_.mirror->effectReports[profile()].name.str();
            illumination_->setText(Q(text::MultiByteToWide(text::kCodePageSystem, name)));
            illumination_->SetChecked(0);
            return;
        }
        default: {
            // A level the menu does not know shows as no illumination,
            // never as the text another profile left on the button.
            const std::size_t level = light[report::kLightEffect];
            const bool known = level < kIlluminationItems.size();
            illumination_->setText(kIlluminationTexts[known ? level : 0]);
            illumination_->SetChecked(known ? kIlluminationItems[level] : 0);
            return;
        }
    }
}

// ---- menus ----------------------------------------------------------------------------------

void CMainCtrlDlg::BuildCapsMenu() {
    QMenu& menu = caps_->menu();
    menu.clear();
    caps_->AddItem(menu, kFlexlayerThisKeyboard, "Flexlayer[+] Vyre Lumo");
    talkMenu_ = menu.addMenu("KALVEX TALK");
    caps_->AddItem(*talkMenu_, kFlexlayerAllDevices, "Flexlayer[+] all devices");
    menu.addSeparator();
    caps_->AddItem(menu, kStandard, "Standard");
    caps_->AddItem(menu, kDisable, "Disable");
}

void CMainCtrlDlg::RebuildTalkMenu() {
    QMenu& menu = caps_->menu();
    auto* popup = new QMenu("Kalvex Talk Function", &menu);
    caps_->AddItem(*popup, kFlexlayerAllDevices, "Flexlayer[+] all devices");
    talkItems_.clear();
    const auto& devices = shared_.mirror->talkDevices;
    if (!devices.empty()) popup->addSeparator();
    int id = kFirstTalkItem;
    auto add = [&](QMenu& into, std::uint8_t code, std::uint32_t key, const QString& text) {
        talkItems_[id] = TalkItem{code, key, text.toStdU16String()};
        caps_->AddItem(into, id++, text);
    };
    for (const auto& [key, record] : devices) {
        const QString name = Q(record.name.str());
        QMenu* device = popup->addMenu(QString("KALVEX Talk:%1").arg(name));
        add(*device, fncode::kTalkFlexlayer, key, QString("Flexlayer[+]:%1").arg(name));
        add(*device, fncode::kTalkFlexlayerLock, key,
            QString("Flexlayer[+]:%1 Lock/Unlock").arg(name));
        device->addSeparator();
        for (int i = 0; i < 5; ++i) {
            const std::int32_t dpi = record.dpiLevels[i].get();
            if (dpi > 0) {
                add(*device, static_cast<std::uint8_t>(fncode::kTalkDpiStage1 + i), key,
                    QString("%1 %2 DPI").arg(name).arg(dpi));
            }
        }
    }
    // The new popup takes the place of the old one, second in the menu.
    QAction* before = menu.actions().value(1);
    menu.insertMenu(before, popup);
    if (talkMenu_ != nullptr) {
        menu.removeAction(talkMenu_->menuAction());
        talkMenu_->deleteLater();
    }
    talkMenu_ = popup;
}

void CMainCtrlDlg::RebuildIlluminationMenu() {
    QMenu& menu = illumination_->menu();
    menu.clear();
    for (std::size_t i = 0; i < kIlluminationItems.size(); ++i)
        illumination_->AddItem(menu, kIlluminationItems[i], kIlluminationTexts[i]);
    lightMacroItems_.clear();
    if (model_ != 2) return;
    menu.addSeparator();
    QMenu* macros = menu.addMenu("LED Macro");
    const auto& list = shared_.mirror->lightMacros;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const int id = kFirstLightMacroItem + static_cast<int>(i);
        lightMacroItems_[id] = i;
        illumination_->AddItem(*macros, id,
                               Q(text::MultiByteToWide(text::kCodePageSystem, list[i].name.str())));
    }
    menu.addSeparator();
    illumination_->AddItem(menu, kStarlitSky, "Starlit sky");
    illumination_->AddItem(menu, kFallAsleep, "Fall asleep");
}

void CMainCtrlDlg::BuildAfterMenu() {
    std::vector<std::pair<int, QString>> items;
    for (int n = 1; n <= kAfterMax; ++n) items.emplace_back(AfterItemId(n), QString::number(n));
    after_->SetItems(items);
}

// ---- choices ---------------------------------------------------------------------------------

void CMainCtrlDlg::ChooseCapsItem(int id) {
    std::uint8_t* options = profileOptions();
    TalkCommandEntry& entry =
        shared_.mirror->hostSettingsBlock.talkCommands[profile()][kCapsTalkEntry];
    switch (id) {
        case kFlexlayerThisKeyboard:
        case kFlexlayerAllDevices: {
            const std::uint8_t code =
                id == kFlexlayerThisKeyboard ? fncode::kFlexlayer : fncode::kFlexlayerAllDevices;
            options[report::kProfileOptionsCode] = code;
            entry.function = code;
            caps_->setText(Q(*FunctionName(code)));
            break;
        }
        case kStandard:
            options[report::kProfileOptionsCode] = kCapsLockUsage;
            caps_->setText("Caps Lock");
            break;
        case kDisable:
            options[report::kProfileOptionsCode] = fncode::kDisabled;
            caps_->setText("Disabled");
            break;
        default: {
            const auto it = talkItems_.find(id);
            if (it == talkItems_.end()) return;
            const TalkItem& item = it->second;
            options[report::kProfileOptionsCode] = item.code;
            entry.set_deviceKey(item.deviceKey);
            entry.function = item.code;
            entry.name.set_full(item.text);
            caps_->setText(Q(item.text));
            break;
        }
    }
    caps_->SetChecked(id);
}

void CMainCtrlDlg::ChooseIlluminationItem(int id) {
    std::uint8_t* light = lightSettings();
    for (std::size_t i = 0; i < kIlluminationItems.size(); ++i) {
        if (kIlluminationItems[i] != id) continue;
        light[report::kLightEffect] = static_cast<std::uint8_t>(i);
        light[report::kEffectSource] = 0;
        ShowIlluminationText();
        return;
    }
    if (id == kStarlitSky || id == kFallAsleep) {
        light[report::kEffectSource] = id == kStarlitSky ? 1 : 3;
        ShowIlluminationText();
        return;
    }
    const auto it = lightMacroItems_.find(id);
    if (it == lightMacroItems_.end() || it->second >= shared_.mirror->lightMacros.size()) return;
    EffectImageFromLightMacro(shared_.mirror->lightMacros[it->second], profile(),
                              shared_.mirror->effectReports[profile()]);
    light[report::kEffectSource] = 2;
    ShowIlluminationText();
    illumination_->SetChecked(id);
}

void CMainCtrlDlg::ChooseAfterItem(int id) {
    const int number = AfterNumber(id);
    if (number == 0) return;
    lightSettings()[report::kLightEffectValue] = static_cast<std::uint8_t>(number);
    after_->setText(QString::asprintf("%d", number));
}

bool CMainCtrlDlg::eventFilter(QObject* watched, QEvent* event) {
    // An option box acts when the mouse button (or the space bar) goes down,
    // before the box changes its own state; once it is up again, whether the
    // click completed or not, the box shows the bit as it now is.
    for (int i = 0; i < 5; ++i) {
        if (watched != options_[i]) continue;
        const auto type = event->type();
        const bool mouse =
            (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        const bool space = (type == QEvent::KeyPress || type == QEvent::KeyRelease) &&
                           static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
                           !static_cast<QKeyEvent*>(event)->isAutoRepeat();
        if (!mouse && !space) break;
        if (type == QEvent::MouseButtonPress || type == QEvent::KeyPress) {
            OptionPressed(i);
        } else {
            QMetaObject::invokeMethod(
                this,
                [this, i] {
                    const std::uint8_t bits =
                        shared_.mirror->lightOptionReports[profile()][report::kOptionBitsByte];
                    options_[i]->setChecked((bits >> kOptionBits[i]) & 1);
                },
                Qt::QueuedConnection);
        }
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CMainCtrlDlg::OptionPressed(int box) {
    std::uint8_t& bits = shared_.mirror->lightOptionReports[profile()][report::kOptionBitsByte];
    const auto mask = static_cast<std::uint8_t>(1u << kOptionBits[box]);
    if (options_[box]->isChecked()) {
        bits ^= mask;
    } else {
        bits |= mask;
    }
}

void CMainCtrlDlg::SoundToggled(int box, bool on) {
    std::uint8_t& sounds = shared_.mirror->hostRecord(profile()).soundSettings.sounds;
    sounds = on ? (sounds | kSoundBits[box]) : (sounds & ~kSoundBits[box]);
}

void CMainCtrlDlg::OpenCharacterRepeat() {
    CCharacterRepeatDlg dialog(*shared_.mirror, *repeat_, window());
    dialog.exec();
    Refresh();
}

void CMainCtrlDlg::Reset() {
    if (!confirmReset || !confirmReset()) return;
    log::Info(kArea, "resetting every profile to its factory settings");
    ResetStoreToDefaults(*shared_.mirror, KeyTableUsages());
    repeat_->SetDelay(1, true);
    repeat_->SetSpeed(platform::kRepeatSpeedMax, true);
    Refresh();
    if (onReset) onReset();
    const win::HWND monitor = shared_.monitor.load();
    if (monitor == 0) return;
    // The main dialog waits until the keyboard reports the end of the reset.
    const win::HWND link = shared_.linkWindow.load();
    win::PostMessage(link, link::kMsgRequest, link::link_request::kBusyWait, 1);
    win::PostMessage(monitor, link::kMsgRequest, link::request::kReset,
                     static_cast<win::LPARAM>(link));
}

}  // namespace vyre
