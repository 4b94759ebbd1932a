#include "config/frame/language.h"

#include <QKeyEvent>
#include <QPainter>

#include <cstdlib>
#include <string>

#include "common/log.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/profile_ini.h"
#include "platform/text.h"
#include "widgets/controls.h"
#include "widgets/skin_art.h"

namespace vyre {
namespace {

constexpr const char* kArea = "language";

constexpr std::uint16_t kDanish[] = {1030};
constexpr std::uint16_t kEnglishIds[] = {1033, 2057,  3081,  4105,  5129,  6153,  7177,  8201,
                                         9225, 10249, 11273, 12297, 13321, 16393, 17417, 18441};
constexpr std::uint16_t kFinnish[] = {1035};
constexpr std::uint16_t kFrench[] = {1036, 2060, 3084, 4108, 5132, 6156};
constexpr std::uint16_t kGerman[] = {1031, 2055, 3079, 4103, 5127};
constexpr std::uint16_t kItalian[] = {1040, 2064};
constexpr std::uint16_t kJapanese[] = {1041};
constexpr std::uint16_t kKorean[] = {1042};
constexpr std::uint16_t kPolish[] = {1045};
constexpr std::uint16_t kRussian[] = {1049};
constexpr std::uint16_t kSimplChinese[] = {2052, 4100};
constexpr std::uint16_t kSpanish[] = {1034,  2058,  3082,  4106,  5130,  6154,  7178,
                                      8202,  9226,  10250, 11274, 12298, 13322, 14346,
                                      15370, 16394, 17418, 18442, 19466, 20490, 21514};
constexpr std::uint16_t kSwedish[] = {1053, 2077};
constexpr std::uint16_t kThai[] = {1054};
constexpr std::uint16_t kTradChinese[] = {1028, 3076, 5124};
constexpr std::uint16_t kTurkish[] = {1055};
constexpr std::uint16_t kVietnamese[] = {1066};

const std::array<Language, kLanguageCount> kLanguages = {{
    {"Danish", ".\\Help\\Danish.txt", kDanish, {1084, 1085, 1083}},
    {"English", ".\\Help\\English.txt", kEnglishIds, {1087, 1086, 1088}},
    {"Finnish", ".\\Help\\Finnish.txt", kFinnish, {1090, 1089, 1091}},
    {"French", ".\\Help\\French.txt", kFrench, {1093, 1092, 1094}},
    {"German", ".\\Help\\German.txt", kGerman, {1096, 1095, 1097}},
    {"Italian", ".\\Help\\Italian.txt", kItalian, {1099, 1098, 1100}},
    {"Japanese", ".\\Help\\Japanese.txt", kJapanese, {1105, 1104, 1106}},
    {"Korean", ".\\Help\\Korean.txt", kKorean, {1108, 1107, 1109}},
    {"Polish", ".\\Help\\Polish.txt", kPolish, {1111, 1110, 1112}},
    {"Russian", ".\\Help\\Russian.txt", kRussian, {1114, 1113, 1115}},
    {"Simpl Chinese", ".\\Help\\SimpleChinese.txt", kSimplChinese, {1117, 1116, 1118}},
    {"Spanish", ".\\Help\\Spanish.txt", kSpanish, {1120, 1119, 1121}},
    {"Swedish", ".\\Help\\Swedish.txt", kSwedish, {1186, 1185, 1187}},
    {"Thai", ".\\Help\\Thai.txt", kThai, {1123, 1122, 1124}},
    {"Trad Chinese", ".\\Help\\TradionalChinese.txt", kTradChinese, {1102, 1101, 1103}},
    {"Turkish", ".\\Help\\Turkish.txt", kTurkish, {1126, 1125, 1127}},
    {"Vietnamese", ".\\Help\\Vietnamese.txt", kVietnamese, {1129, 1128, 1130}},
}};

// The language menu's size and its items' place.
constexpr int kMenuWidth = 100;
constexpr int kMenuHeight = 289;

}  // namespace

std::span<const Language, kLanguageCount> Languages() {
    return kLanguages;
}

int LanguageOfSystemId(std::uint16_t languageId) {
    for (int i = 0; i < kLanguageCount; ++i) {
        for (std::uint16_t id : kLanguages[i].ids) {
            if (id == languageId) return i;
        }
    }
    return kEnglish;
}

std::optional<int> StoredLanguage() {
    const std::string value =
        platform::GetPrivateProfileString("Setting", "QuickHelpLan", "", kConfigIni, 5);
    if (value.empty()) return std::nullopt;
    // The number at the start of the value, as the C library reads it.
    return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

bool StoreLanguage(int index) {
    const std::string value = std::to_string(index);
    if (!platform::WritePrivateProfileString("Setting", "QuickHelpLan", value.c_str(),
                                             kConfigIni)) {
        log::Warning(kArea, "the quick help language could not be stored in Config.ini");
        return false;
    }
    return true;
}

bool KeepDamagedLanguageFile() {
    if (platform::ProfileFileReadsWhole(kConfigIni)) return false;
    const auto file = paths::Resolve(std::string_view(kConfigIni));
    const auto kept = platform::KeepDamagedCopy(file);
    log::Warning(kArea, "the file " + file.string() + " is damaged: what could be read is kept" +
                            (kept ? "; the damaged file is kept as " + kept->string()
                                  : std::string(" (no copy could be kept beside it)")));
    platform::ProfileFile fresh;
    if (const auto stored = StoredLanguage()) fresh.Set("Setting", "QuickHelpLan", std::to_string(*stored));
    if (!fresh.Save(file)) log::Warning(kArea, "cannot write " + file.string());
    return true;
}

int StartLanguage(std::uint16_t systemLanguageId) {
    if (const auto stored = StoredLanguage()) {
        if (IsLanguage(*stored)) return *stored;
        log::Warning(kArea,
                     log::Format("QuickHelpLan %d is no language; the system's is used", *stored));
    }
    return LanguageOfSystemId(systemLanguageId);
}

std::optional<std::vector<std::u16string>> ReadHelpTexts(int index) {
    if (!IsLanguage(index)) return std::nullopt;
    const auto file = paths::Resolve(kLanguages[index].helpFile);
    auto lines = text::ReadTextFileLines(file);
    if (!lines) {
        log::Warning(kArea, log::Format("the help file %s cannot be read; quick help stays blank",
                                        file.string().c_str()));
    }
    return lines;
}

std::u16string HelpText(const std::vector<std::u16string>& table, int helpId) {
    if (helpId < 1 || static_cast<std::size_t>(helpId) > table.size()) return {};
    return table[static_cast<std::size_t>(helpId - 1)];
}

// ---- the menu ------------------------------------------------------------------------------

CLanguageMenuDlg::CLanguageMenuDlg(QWidget* parent) : QWidget(parent) {
    resize(kMenuWidth, kMenuHeight);
    for (int i = 0; i < kLanguageCount; ++i) {
        items_[i] = new widgets::CPushDownBtn(this);
        items_[i]->SetBitmaps(1135 + 3 * i, 1134 + 3 * i, 1136 + 3 * i);
        items_[i]->setGeometry(1, 17 + 16 * i, 98, 15);
        items_[i]->setAccessibleName(kLanguages[i].menuText);
        QObject::connect(items_[i], &QAbstractButton::clicked, this, [this, i] {
            hide();
            if (onChosen) onChosen(i);
        });
    }
}

void CLanguageMenuDlg::keyPressEvent(QKeyEvent* event) {
    const int step = event->key() == Qt::Key_Down ? 1 : event->key() == Qt::Key_Up ? -1 : 0;
    if (step != 0) {
        for (int i = 0; i < kLanguageCount; ++i) {
            if (items_[i]->hasFocus()) {
                items_[(i + step + kLanguageCount) % kLanguageCount]->setFocus(Qt::TabFocusReason);
                return;
            }
        }
    }
    if (event->key() == Qt::Key_Escape) {
        hide();
        if (onEscape) onEscape();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CLanguageMenuDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, widgets::SkinBitmap(1133, devicePixelRatioF()));
}

// ---- the button ----------------------------------------------------------------------------

CLanguageMenuBtn::CLanguageMenuBtn(QWidget* parent) : CPushDownBtn(parent) {
    setAccessibleName("Language");
    SetLanguage(kEnglish);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { ShowMenu(!menuShown()); });
}

void CLanguageMenuBtn::SetLanguage(int index) {
    if (!IsLanguage(index)) return;
    language_ = index;
    const auto& b = kLanguages[index].button;
    SetBitmaps(b[0], b[1], b[2]);
}

void CLanguageMenuBtn::ShowMenu(bool show) {
    if (!show) {
        if (menu_) menu_->hide();
        return;
    }
    if (menu_ == nullptr) {
        // The menu lives beside the button so that it may reach above it.
        menu_ = new CLanguageMenuDlg(parentWidget());
        menu_->onChosen = [this](int index) {
            if (onChosen) onChosen(index);
        };
        menu_->onEscape = [this] { setFocus(Qt::TabFocusReason); };
    }
    // The current language's item shows pressed.
    for (int i = 0; i < kLanguageCount; ++i) {
        menu_->item(i)->SetBitmaps(i == language_ ? 1134 + 3 * i : 1135 + 3 * i, 1134 + 3 * i,
                                   1136 + 3 * i);
    }
    menu_->move(x(), y() - kMenuHeight);
    menu_->show();
    menu_->raise();
    // Opened from the keyboard: the focus goes to the current language's item.
    if (hasFocus()) menu_->item(language_)->setFocus(Qt::TabFocusReason);
}

void CLanguageMenuBtn::showEvent(QShowEvent* event) {
    widgets::DescribeQuickHelp(this, 1);
    CPushDownBtn::showEvent(event);
}

void CLanguageMenuBtn::enterEvent(QEnterEvent* event) {
    widgets::NotifyQuickHelp(this, 1, true);
    CPushDownBtn::enterEvent(event);
}

void CLanguageMenuBtn::leaveEvent(QEvent* event) {
    widgets::NotifyQuickHelp(this, 1, false);
    CPushDownBtn::leaveEvent(event);
}

}  // namespace vyre
