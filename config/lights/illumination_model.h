#pragma once
// The illumination page's model: the bytes of one illumination record that the
// page reads and writes (the lighting effect, the fade delay and time, the 120
// key light entries and the three thumb key bytes), the light group flags, the
// illumination mode and the two LED feedback switches of a profile, and the
// state of every control of the page with what each control does to them.
//
// The model works on the Config's store mirror only; the main dialog's APPLY
// sends it. The page (illumination_dlg.h) draws what the model holds.
//
// Key light entry of key k (0..119), two bytes from offset 8 + 2k, read as a
// big-endian number: bit 15 lit, bit 13 breathing (with bit 12), bit 12
// animated, bits 11..0 the period. Thumb key bytes: bit 7 lit, nothing else.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/profile_store.h"

namespace vyre::lights {

// ---- menus and their command ids -------------------------------------------------------

inline constexpr int kLayerItemNormal = 32842;  // + layer, 0..10
inline constexpr int kFirstSpeedItem = 32854;   // "1".."5" of BlinkingTime and BreathingTime
inline constexpr int kSpeedItems = 5;
inline constexpr int kDelayItems = 30;          // "1".."30" of DelayTime

// The eleven layers in the order of the "Active Layer" menu.
inline constexpr int kLayerNormal = 0;
inline constexpr int kLayerRightWin = 8;
inline constexpr int kLayerFlexlayer = 9;
inline constexpr int kLayerFn = 10;
const char* LayerName(int layer);  // "" outside 0..10
// The layer of a menu item: 32842 + layer; any other id gives layer 0.
int LayerOfItem(int id);
// The layers a mode offers: all eleven in MANUAL, Normal, Flexlayer and FN in AUTOMATIC.
std::vector<int> LayersOffered(int mode);

// The "DelayTime" items: "1".."15" 32854..32868, "16" 32884, "17".."30" 32870..32883.
int DelayItemId(int number);  // 0 outside 1..30
int DelayNumber(int id);      // 0 for ids outside the menu
// "BlinkingTime" and "BreathingTime": "1".."5" are 32854..32858.
int SpeedItemId(int number);  // 0 outside 1..5
int SpeedNumber(int id);      // 0 for ids outside the menu

// ---- the record ------------------------------------------------------------------------

inline constexpr int kEffectNone = 0;
inline constexpr int kEffectFade = 1;
inline constexpr int kEffectRipple = 2;

inline constexpr std::uint8_t kLit = 0x80;
inline constexpr std::uint8_t kBlinking = 0x90;    // lit and animated
inline constexpr std::uint8_t kBreathing = 0xB0;   // lit, breathing and animated
inline constexpr int kPeriodMask = 0x0FFF;

// What a key shows: dark or steady (not animated), blinking or breathing.
enum class KeyLook { Plain, Blinking, Breathing };

struct KeyLight {
    std::uint8_t first = 0;
    std::uint8_t second = 0;

    bool lit() const { return (first & kLit) != 0; }
    int period() const { return ((first & 0x0F) << 8) | second; }
    KeyLook look() const {
        if ((first & kBreathing) == kBreathing) return KeyLook::Breathing;
        if ((first & kBlinking) == kBlinking) return KeyLook::Blinking;
        return KeyLook::Plain;
    }
    friend bool operator==(const KeyLight&, const KeyLight&) = default;
};

// The preview's time scale. A blinking key's full on-and-off cycle lasts
// period x 100 ms (speed 1: 0.4 s .. speed 5: 2 s), lit in its first half; a
// breathing key's full cycle lasts period x 1000 / 64 ms (speed 1: 1 s ..
// speed 5: 5 s), rising and falling smoothly. A key without a period
// animates like speed 1.
inline constexpr int kBlinkMsPerUnit = 100;
inline constexpr int kBlinkSpeed1Period = 4;
inline constexpr int kBreathSpeed1Period = 64;
std::int64_t BlinkCycleMs(int period);
std::int64_t BreathCycleMs(int period);

// The page's view of one 253-byte illumination record. Bytes 0..4 (header)
// and 251..252 (trailer) are never touched.
class IlluminationRecord {
  public:
    explicit IlluminationRecord(std::span<std::uint8_t, report::kIlluminationLength> bytes)
        : bytes_(bytes) {}

    int effect() const { return bytes_[report::kIlluminationEffect]; }
    void setEffect(int effect) { bytes_[report::kIlluminationEffect] = static_cast<std::uint8_t>(effect); }
    int fadeDelay() const { return bytes_[report::kIlluminationFadeDelay]; }
    void setFadeDelay(int v) { bytes_[report::kIlluminationFadeDelay] = static_cast<std::uint8_t>(v); }
    int fadeTime() const { return bytes_[report::kIlluminationFadeValue]; }
    void setFadeTime(int v) { bytes_[report::kIlluminationFadeValue] = static_cast<std::uint8_t>(v); }

    // Key 0..119: its entry; thumb keys 120..122: their byte as the first byte.
    KeyLight key(int keyIndex) const;
    // Key 0..119: both bytes; thumb keys: the first byte. Other indexes: nothing.
    void setKey(int keyIndex, KeyLight light);
    bool lit(int keyIndex) const { return key(keyIndex).lit(); }

  private:
    std::span<std::uint8_t, report::kIlluminationLength> bytes_;
};

// ---- light groups ----------------------------------------------------------------------

// The six boxes, in the order of the page's group box list.
enum LightGroup { kGroupAll, kGroupThumb, kGroupFunction, kGroupMainBlock, kGroupWasd, kGroupArrows,
                  kGroupCount };
const char* LightGroupCaption(int group);
// The flag byte each box shows.
int LightGroupFlag(int group);
// The fixed key sets (ALL, T KEYS, WASD, ARROW KEYS, F KEYS); MAIN BLOCK is the
// picture's and comes from MainBlockKeys.
std::vector<int> FixedGroupKeys(int group);
// MAIN BLOCK: every key shown on the picture except the F KEYS set and the thumb keys.
std::vector<int> MainBlockKeys(std::span<const int> shownKeys);

// ---- the page's state and what its controls do ------------------------------------------

// The preview of the selected key: its own picture, the wide form of it, or
// the thumb key picture.
enum class PreviewForm { None, Normal, Wide, Thumb };
// Layout variant 1 shows the wide form only for these keys; every other variant for all.
bool PreviewIsWide(int layoutVariant, int keyIndex);

class IlluminationModel {
  public:
    // `mainBlock`: the MAIN BLOCK list of the picture of the page's layout variant.
    IlluminationModel(ProfileStore& mirror, std::vector<int> mainBlock, int layoutVariant);

    // The picture of another layout variant: its MAIN BLOCK and preview rule.
    void SetLayout(std::vector<int> mainBlock, int layoutVariant);
    // The set-up: layer 0, the mode of the profile, item "Normal" (which
    // refreshes), key 1 (ESC) selected with its preview.
    void SetUp();
    // Shows the current profile of the mirror.
    void Refresh();

    // --- the controls --------------------------------------------------------------------
    void ChooseLayer(int id);
    // Key selection; `redisplay` keeps the preview (the page's own redisplay).
    void SelectKey(int keyIndex, bool redisplay = false);
    void SetKeyActivate(bool on);
    void SetBlinking(bool on);
    void SetBreathing(bool on);
    void ChooseBlinkingSpeed(int id);
    void ChooseBreathingSpeed(int id);
    void ChooseDelay(int id);
    void ChooseFade(int id);
    void SetEffectsActivate(bool on);
    void SetFadeFx(bool on);
    void SetRippleFx(bool on);
    void SetGroup(int group, bool on);
    void SetMode(int mode);  // 0 AUTOMATIC, 1 MANUAL
    void SetMacroFeedback(bool on);
    void SetVolumeIndicator(bool on);

    // --- what the page shows ------------------------------------------------------------
    struct Box {
        bool checked = false;
        bool enabled = true;
    };
    struct DropDown {
        std::string caption;
        int chosen = 0;  // the command id of the item last chosen, 0 when none
    };
    int profile() const { return mirror_.currentProfile(); }
    int mode() const { return mode_; }
    int layer() const { return layer_; }
    int selectedKey() const { return selected_; }
    PreviewForm preview() const { return preview_; }
    int previewKey() const { return previewKey_; }
    const std::string& layerCaption() const { return layerCaption_; }
    std::vector<int> layerItems() const;  // the ids of the layer menu shown now

    Box keyActivate, blinking, breathing;
    Box effectsActivate, fadeFx, rippleFx;
    std::array<Box, kGroupCount> groups;  // in LightGroup order
    Box automatic, manual, macroFeedback, volumeIndicator;
    DropDown blinkingSpeed, breathingSpeed, delay, fade;

    // The record shown (current profile, mode, layer) and another one.
    IlluminationRecord record() { return record(mode_, layer_); }
    IlluminationRecord record(int mode, int layer);
    std::uint8_t* groupFlags(int mode, int layer);
    const std::vector<int>& groupKeys(int group) const { return groupKeys_[group]; }

  private:
    std::uint8_t* lightSettings();
    void ShowMode();
    void ShowGroups();
    void ShowEffect();
    void ShowDelayAndFade();
    void EnableEditing(bool on);  // key ACTIVATE, BLINKING, BREATHING, the six groups
    void ShowSelectedKey();
    bool FollowsNormal() const;  // AUTOMATIC on Normal: groups and ripple reach layers 0..8
    void StartAnimation(KeyLight light);  // the radios' common part
    bool HasKey() const { return selected_ >= 0; }
    // Sets keys of a group on the current record, and on AUTOMATIC's layers
    // 1..8 when they follow Normal.
    void LightKeys(const std::vector<int>& keys, bool on);

    ProfileStore& mirror_;
    int variant_;
    std::array<std::vector<int>, kGroupCount> groupKeys_;
    int mode_ = 0;
    int layer_ = 0;
    int selected_ = -1;
    PreviewForm preview_ = PreviewForm::None;
    int previewKey_ = -1;
    std::string layerCaption_;
};

}  // namespace vyre::lights
