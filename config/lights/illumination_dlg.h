#pragma once
// CKeyIlluminationDlg, the illumination page (model B): the key lights of
// the current profile on each layer, blinking and breathing keys with their
// speed, the layer effects FADE FX and RIPPLE FX, the light groups, the
// illumination mode and the two LED feedback switches, over a keyboard
// picture that shows the layer lit as the keyboard will show it: lit keys in
// the accent colour, blinking and breathing keys animated at their periods.
//
// Every control writes the store mirror at once (through IlluminationModel);
// the main dialog's OK or APPLY sends it. The animation runs only while the
// page is shown.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "common/key_table.h"
#include "common/profile_store.h"
#include "config/lights/illumination_model.h"
#include "config/lights/macro_manager_dlg.h"
#include "widgets/controls.h"
#include "widgets/keyboard_picture.h"

namespace vyre {

// The picture of the selected key: its cap (normal or wide form) or the thumb key picture.
class CKeyPreview : public QWidget {
  public:
    explicit CKeyPreview(QWidget* parent = nullptr) : QWidget(parent) {}
    void Show(lights::PreviewForm form, int keyIndex, bool lit);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    lights::PreviewForm form_ = lights::PreviewForm::None;
    int key_ = -1;
    bool lit_ = false;
};

class CKeyIlluminationDlg : public QWidget {
  public:
    // `layoutVariant`: the keyboard's layout code (the host settings block's copy).
    CKeyIlluminationDlg(ProfileStore& mirror, int layoutVariant, QWidget* parent = nullptr);
    ~CKeyIlluminationDlg() override;

    // Shows the current profile of the mirror (the main dialog calls it on
    // every profile change).
    void Refresh();
    // Builds the picture of another layout variant and shows the page on it.
    void SetLayoutVariant(int layoutVariant);

    // --- what the controls do (also for tests) ---------------------------------------
    void ClickKey(int keyIndex);
    // "LED MACRO MANAGER": opens the light macro manager over the page.
    void OpenLightMacroManager();
    // How the light macro editor's OK sends its records to the Monitor.
    void SetMacroLink(MacroLinkSender send);
    // After OK of the light macro editor, for the other pages' light macro menus.
    std::function<void()> onLightMacrosChanged;
    // The page's light macro editor (made on first use).
    IllMacroManagerDlg& lightMacroEditor();

    // --- what it shows -------------------------------------------------------------------
    lights::IlluminationModel& model() { return *model_; }
    widgets::CKeyboardPicture& picture() { return *picture_; }
    CKeyPreview& preview() { return *preview_; }
    widgets::CSkinMenuButton& layerBox() { return *layer_; }
    widgets::CSkinMenuButton& blinkingSpeedBox() { return *blinkSpeed_; }
    widgets::CSkinMenuButton& breathingSpeedBox() { return *breathSpeed_; }
    widgets::CSkinMenuButton& delayBox() { return *delay_; }
    widgets::CSkinMenuButton& fadeBox() { return *fade_; }
    widgets::CSkinCheckBox& keyActivateBox() { return *keyActivate_; }
    widgets::CSkinCheckBox& blinkingRadio() { return *blinking_; }
    widgets::CSkinCheckBox& breathingRadio() { return *breathing_; }
    widgets::CSkinCheckBox& effectsActivateBox() { return *effectsActivate_; }
    widgets::CSkinCheckBox& fadeFxRadio() { return *fadeFx_; }
    widgets::CSkinCheckBox& rippleFxRadio() { return *rippleFx_; }
    widgets::CSkinCheckBox& groupBox(int group) { return *groups_[group]; }
    widgets::CSkinCheckBox& automaticRadio() { return *automatic_; }
    widgets::CSkinCheckBox& manualRadio() { return *manual_; }
    widgets::CSkinCheckBox& macroFeedbackBox() { return *macroFeedback_; }
    widgets::CSkinCheckBox& volumeIndicatorBox() { return *volumeIndicator_; }
    QWidget& lightMacroButton() { return *lightMacros_; }
    // True while keys of the picture animate.
    bool animating() const { return animating_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    widgets::CSkinCheckBox* Box(const QString& caption, bool radio, const QRect& at, int helpId,
                                std::function<void(bool)> act);
    widgets::CSkinMenuButton* DropDown(const QString& label, const QRect& at, int helpId,
                                       std::function<void(int)> act);
    void BuildPicture();
    void LayOut();
    void Act(const std::function<void()>& change);  // a change through the model, then Show
    // Shows what the model holds: boxes, captions, menus, preview, keys.
    void Show();
    void ShowKeys();
    void StopAnimation();

    ProfileStore& mirror_;
    MacroLinkSender macroLink_;
    std::unique_ptr<IllMacroManagerDlg> lightEditor_;
    int variant_;
    std::unique_ptr<lights::IlluminationModel> model_;
    widgets::CKeyboardPicture* picture_ = nullptr;
    CKeyPreview* preview_ = nullptr;
    widgets::CSkinMenuButton* layer_ = nullptr;
    widgets::CSkinMenuButton* blinkSpeed_ = nullptr;
    widgets::CSkinMenuButton* breathSpeed_ = nullptr;
    widgets::CSkinMenuButton* delay_ = nullptr;
    widgets::CSkinMenuButton* fade_ = nullptr;
    widgets::CSkinCheckBox* keyActivate_ = nullptr;
    widgets::CSkinCheckBox* blinking_ = nullptr;
    widgets::CSkinCheckBox* breathing_ = nullptr;
    widgets::CSkinCheckBox* effectsActivate_ = nullptr;
    widgets::CSkinCheckBox* fadeFx_ = nullptr;
    widgets::CSkinCheckBox* rippleFx_ = nullptr;
    std::array<widgets::CSkinCheckBox*, lights::kGroupCount> groups_{};
    widgets::CSkinCheckBox* automatic_ = nullptr;
    widgets::CSkinCheckBox* manual_ = nullptr;
    widgets::CSkinCheckBox* macroFeedback_ = nullptr;
    widgets::CSkinCheckBox* volumeIndicator_ = nullptr;
    widgets::CSkinButton* lightMacros_ = nullptr;
    std::vector<int> layerItems_;  // the ids the layer menu holds now
    bool animating_ = false;
    // The animation each key cap was given (ms; 0: none).
    std::array<int, kKeyCount> shownBlinkMs_{}, shownBreathMs_{};
};

}  // namespace vyre
