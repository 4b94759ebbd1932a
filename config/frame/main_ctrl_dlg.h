#pragma once
// CMainCtrlDlg, the main control page: the current profile's Caps Lock
// function, the key that takes the Fn function, the keyboard repeat, the
// sound switches and volume, the keyboard options, the light level, the
// illumination with its light macros and delay, Reset and the character
// repeat dialog. Every control writes the store mirror at once; the main
// dialog's OK or APPLY sends it. Reset goes to the keyboard at once.

#include <QLabel>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "config/frame/data_work.h"
#include "platform/system.h"
#include "widgets/controls.h"

namespace vyre {

namespace main_ctrl {
// Menu item ids of the Caps Lock menu.
inline constexpr int kFlexlayerThisKeyboard = 32778;
inline constexpr int kFlexlayerAllDevices = 32803;
inline constexpr int kStandard = 32774;
inline constexpr int kDisable = 32865;
inline constexpr int kFirstTalkItem = 100;
// Illumination menu: the six levels, the light macros, the two effects.
inline constexpr std::array<int, 6> kIlluminationItems = {32876, 32805, 32878, 32807, 32880, 32809};
inline constexpr int kFirstLightMacroItem = 350;
inline constexpr int kStarlitSky = 32850;
inline constexpr int kFallAsleep = 32851;
// "After" menu: the ids of "1" to "30".
int AfterItemId(int number);
// The number of an "After" item; 0 for other ids.
int AfterNumber(int id);
inline constexpr int kAfterMax = 30;
}  // namespace main_ctrl

class CMainCtrlDlg : public QWidget {
  public:
    CMainCtrlDlg(ConfigShared& shared, QWidget* parent = nullptr);
    ~CMainCtrlDlg() override;

    // Shows the controls of model flag 1 or 2; other flags change nothing.
    void ApplyModel(int modelFlag);
    // Shows the current profile of the mirror.
    void Refresh();
    // Rebuilds the Caps Lock menu's talk popup from the talk device records.
    void RebuildTalkMenu();
    // Rebuilds the illumination menu (with the light macros for model flag 2).
    void RebuildIlluminationMenu();

    // --- what the controls do (also for tests) ---------------------------------------
    void ChooseCapsItem(int id);
    void ChooseIlluminationItem(int id);
    void ChooseAfterItem(int id);
    void Reset();
    void OpenCharacterRepeat();

    // Asks whether the keyboard is reset (the Reset popup by default).
    std::function<bool()> confirmReset;
    // Called after a reset changed the whole mirror, so the main dialog redraws.
    std::function<void()> onReset;
    // The system's keyboard repeat (the platform's by default).
    void SetKeyboardRepeat(std::unique_ptr<platform::KeyboardRepeatSettings> repeat);
    platform::KeyboardRepeatSettings& keyboardRepeat() { return *repeat_; }

    // --- what it shows -------------------------------------------------------------------
    QString capsText() const { return caps_->text(); }
    QString illuminationText() const { return illumination_->text(); }
    QString afterText() const { return after_->text(); }
    widgets::CSkinMenuButton& capsButton() { return *caps_; }
    widgets::CSkinMenuButton& illuminationButton() { return *illumination_; }
    widgets::CSkinCheckBox& optionBox(int i) { return *options_[i]; }
    widgets::CSkinCheckBox& soundBox(int i) { return *sounds_[i]; }
    widgets::CSkinCheckBox& fnChoice(int i) { return *fn_[i]; }
    widgets::CSkinSlider& repeatDelaySlider() { return *delay_; }
    widgets::CSkinSlider& repeatRateSlider() { return *rate_; }
    widgets::CSkinSlider& volumeSlider() { return *volume_; }
    widgets::CSkinSlider& lightLevelSlider() { return *lightLevel_; }
    QWidget& repeatTest() { return *test_; }
    QWidget& openButton() { return *open_; }
    QWidget& resetButton() { return *reset_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct TalkItem {
        std::uint8_t code;
        std::uint32_t deviceKey;
        std::u16string text;
    };

    int profile() const;
    std::uint8_t* profileOptions();
    std::uint8_t* lightSettings();
    void OptionPressed(int box);
    void SoundToggled(int box, bool on);
    void BuildCapsMenu();
    void BuildAfterMenu();
    QString CapsTextOf(std::uint8_t code) const;
    int CapsItemOf(std::uint8_t code) const;  // the menu item that stands for a code
    void ShowIlluminationText();
    void ShowValues();

    ConfigShared& shared_;
    std::unique_ptr<platform::KeyboardRepeatSettings> repeat_;
    int model_ = 0;
    widgets::CSkinMenuButton* caps_ = nullptr;
    QMenu* talkMenu_ = nullptr;
    std::array<widgets::CSkinCheckBox*, 2> fn_{};
    std::array<QWidget*, 2> fnPictures_{};
    widgets::CSkinSlider* delay_ = nullptr;
    widgets::CSkinSlider* rate_ = nullptr;
    widgets::CSkinEdit* test_ = nullptr;
    std::array<widgets::CSkinCheckBox*, 3> sounds_{};
    widgets::CSkinSlider* volume_ = nullptr;
    std::array<widgets::CSkinCheckBox*, 5> options_{};
    widgets::CSkinSlider* lightLevel_ = nullptr;
    widgets::CSkinMenuButton* illumination_ = nullptr;
    widgets::CSkinMenuButton* after_ = nullptr;
    widgets::CSkinButton* reset_ = nullptr;
    widgets::CSkinButton* open_ = nullptr;
    // The values of the repeat delay, repeat rate, volume and light level sliders.
    std::array<QLabel*, 4> values_{};
    // Captions and pictures that belong to one model only.
    std::vector<QWidget*> modelAOnly_, modelBOnly_;
    std::map<int, TalkItem> talkItems_;
    std::map<int, std::size_t> lightMacroItems_;  // menu id -> light macro list index
};

}  // namespace vyre
