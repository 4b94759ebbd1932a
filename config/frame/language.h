#pragma once
// The quick help language: the seventeen languages with their help files and
// the system language ids that select them, the stored choice in
// ".\Config\Config.ini", the help text table, and the language button
// (CLanguageMenuBtn) with its menu (CLanguageMenuDlg).

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "widgets/bitmap_dialog.h"

namespace vyre {

struct Language {
    const char* menuText;                // the menu item's text
    const char* helpFile;                // ".\Help\English.txt"
    std::span<const std::uint16_t> ids;  // the system language ids that select it
    std::array<int, 3> button;           // button bitmaps: normal, pressed, hover
};

inline constexpr int kLanguageCount = 17;
inline constexpr int kEnglish = 1;

std::span<const Language, kLanguageCount> Languages();
constexpr bool IsLanguage(int index) {
    return index >= 0 && index < kLanguageCount;
}

// The language of a system language id; English for an id of no language here.
int LanguageOfSystemId(std::uint16_t languageId);

// The stored choice: "QuickHelpLan" in section "Setting" of ".\Config\Config.ini".
inline constexpr const char* kConfigIni = "./Config/Config.ini";
// The stored index (its first four characters as a number); none when the
// key is missing.
std::optional<int> StoredLanguage();
bool StoreLanguage(int index);
// When Config.ini does not read whole: keeps it beside itself as
// "Config.ini.damaged-<time>", logs it and writes it anew with the choice
// that could still be read. True when it was damaged.
bool KeepDamagedLanguageFile();

// The language at start: the stored one when it is a language, else the one of
// the system's language id.
int StartLanguage(std::uint16_t systemLanguageId);

// The help text table of a language: line k of its help file is entry k.
// None when the file cannot be read.
std::optional<std::vector<std::u16string>> ReadHelpTexts(int index);
// The text of help id n (line n - 1); empty when the table has no such line.
std::u16string HelpText(const std::vector<std::u16string>& table, int helpId);

// The language menu: a 100 x 289 panel of seventeen items. Choosing one
// calls `onChosen` with its index and hides the menu.
class CLanguageMenuDlg : public QWidget {
  public:
    explicit CLanguageMenuDlg(QWidget* parent);
    std::function<void(int index)> onChosen;
    // Escape closed the menu.
    std::function<void()> onEscape;
    widgets::CPushDownBtn* item(int index) { return items_[index]; }

  protected:
    // Up and Down move over the items; Escape closes the menu.
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::array<widgets::CPushDownBtn*, kLanguageCount> items_{};
};

// The language button: shows the current language and opens the menu above itself.
class CLanguageMenuBtn : public widgets::CPushDownBtn {
  public:
    explicit CLanguageMenuBtn(QWidget* parent);
    void SetLanguage(int index);
    int language() const { return language_; }
    // Shows (true) or hides the menu; the menu is made at its first showing.
    void ShowMenu(bool show);
    bool menuShown() const { return menu_ != nullptr && menu_->isVisible(); }
    CLanguageMenuDlg* menu() { return menu_; }
    // Called with the index chosen in the menu.
    std::function<void(int index)> onChosen;

  protected:
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    int language_ = kEnglish;
    CLanguageMenuDlg* menu_ = nullptr;
};

}  // namespace vyre
