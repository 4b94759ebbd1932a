#include "config/lights/illumination_model.h"

#include <algorithm>

#include "common/key_table.h"

namespace vyre::lights {
namespace {

constexpr const char* kLayerNames[kIlluminationLayers] = {
    "Normal",   "Left Shift", "Right Shift", "Left Ctrl", "Right Ctrl", "Left Alt",
    "Right Alt", "Left Win",  "Right Win",   "Flexlayer", "FN"};

// "DelayTime": "1".."15" count up from 32854, "16" is 32884, "17".."30" count up from 32870.
constexpr int kDelay16 = 32884;
constexpr int kDelay17 = 32870;

// Flag bytes of one light group entry.
constexpr int kFlagAll = 0;
constexpr int kFlagAllOnly1 = 1;
constexpr int kFlagThumb = 2;
constexpr int kFlagWasd = 3;
constexpr int kFlagFunction = 4;
constexpr int kFlagMainBlock = 5;
constexpr int kFlagMainBlockAndAll = 6;
constexpr int kFlagAllOnly7 = 7;
constexpr int kFlagArrows = 8;

constexpr int kGroupFlags[kGroupCount] = {kFlagAll,       kFlagThumb, kFlagFunction,
                                          kFlagMainBlock, kFlagWasd,  kFlagArrows};
constexpr const char* kGroupCaptions[kGroupCount] = {"ALL",        "T KEYS", "F KEYS",
                                                     "MAIN BLOCK", "WASD",   "ARROW KEYS"};

// The keys whose preview keeps its wide form on layout variant 1.
constexpr int kWideOnVariant1[] = {0, 24, 45, 48, 57, 69, 72, 81, 92, 93, 96, 105, 108, 110, 112, 114};

// Offset of the mode byte and of the macro execution feedback in the light settings.
constexpr std::size_t kModeByte = report::kIlluminationModeByte;
constexpr std::size_t kFeedbackByte = report::kMacroLightFeedback;

constexpr int kAutomatic = 0;
constexpr int kManual = 1;
constexpr int kFollowingLayers = 9;  // AUTOMATIC's layers 0..8 follow Normal

std::string Number(int n) {
    return std::to_string(n);
}

}  // namespace

const char* LayerName(int layer) {
    return layer >= 0 && layer < kIlluminationLayers ? kLayerNames[layer] : "";
}

int LayerOfItem(int id) {
    const int layer = id - kLayerItemNormal;
    return layer >= 0 && layer < kIlluminationLayers ? layer : kLayerNormal;
}

std::vector<int> LayersOffered(int mode) {
    if (mode == kAutomatic) return {kLayerNormal, kLayerFlexlayer, kLayerFn};
    std::vector<int> all(kIlluminationLayers);
    for (int i = 0; i < kIlluminationLayers; ++i) all[i] = i;
    return all;
}

int DelayItemId(int number) {
    if (number < 1 || number > kDelayItems) return 0;
    if (number <= 15) return kFirstSpeedItem + number - 1;
    if (number == 16) return kDelay16;
    return kDelay17 + number - 17;
}

int DelayNumber(int id) {
    for (int n = 1; n <= kDelayItems; ++n) {
        if (DelayItemId(n) == id) return n;
    }
    return 0;
}

int SpeedItemId(int number) {
    return number >= 1 && number <= kSpeedItems ? kFirstSpeedItem + number - 1 : 0;
}

int SpeedNumber(int id) {
    const int n = id - kFirstSpeedItem + 1;
    return n >= 1 && n <= kSpeedItems ? n : 0;
}

// ---- the preview's time scale ----------------------------------------------------------------

std::int64_t BlinkCycleMs(int period) {
    return std::int64_t{period != 0 ? period : kBlinkSpeed1Period} * kBlinkMsPerUnit;
}

std::int64_t BreathCycleMs(int period) {
    return std::int64_t{period != 0 ? period : kBreathSpeed1Period} * 1000 / 64;
}

// ---- the record ------------------------------------------------------------------------------

KeyLight IlluminationRecord::key(int keyIndex) const {
    if (keyIndex >= 0 && keyIndex < kKeyTableRows) {
        const std::size_t at = report::kIlluminationKeyLights + 2 * static_cast<std::size_t>(keyIndex);
        return {bytes_[at], bytes_[at + 1]};
    }
    if (IsThumbKey(keyIndex)) {
        return {bytes_[report::kIlluminationThumbLights + (keyIndex - kThumbKey1)], 0};
    }
    return {};
}

void IlluminationRecord::setKey(int keyIndex, KeyLight light) {
    if (keyIndex >= 0 && keyIndex < kKeyTableRows) {
        const std::size_t at = report::kIlluminationKeyLights + 2 * static_cast<std::size_t>(keyIndex);
        bytes_[at] = light.first;
        bytes_[at + 1] = light.second;
    } else if (IsThumbKey(keyIndex)) {
        // A thumb key byte: bit 7 is its light; the bits the page does not
        // use are the caller's to keep.
        bytes_[report::kIlluminationThumbLights + (keyIndex - kThumbKey1)] = light.first;
    }
}

// ---- light groups ------------------------------------------------------------------------------

const char* LightGroupCaption(int group) {
    return group >= 0 && group < kGroupCount ? kGroupCaptions[group] : "";
}

int LightGroupFlag(int group) {
    return group >= 0 && group < kGroupCount ? kGroupFlags[group] : kFlagAll;
}

std::vector<int> FixedGroupKeys(int group) {
    switch (group) {
        case kGroupAll: {
            std::vector<int> all(kKeyCount);
            for (int i = 0; i < kKeyCount; ++i) all[i] = i;
            return all;
        }
        case kGroupThumb:
            return {kThumbKey1, kThumbKey2, kThumbKey3};
        case kGroupWasd:
            return {49, 61, 73, 62};
        case kGroupArrows:
            return {117, 116, 104, 118};
        case kGroupFunction: {
            std::vector<int> keys{1};  // ESC, then F1..F12, Prtscn, Scroll Lock, Pause
            keys.insert(keys.end(), kFunctionKeyOrder.begin(), kFunctionKeyOrder.end());
            return keys;
        }
        default:
            return {};
    }
}

std::vector<int> MainBlockKeys(std::span<const int> shownKeys) {
    const std::vector<int> function = FixedGroupKeys(kGroupFunction);
    std::vector<int> keys;
    for (int k : shownKeys) {
        if (k < 0 || k >= kKeyTableRows) continue;  // thumb keys and anything else
        if (std::find(function.begin(), function.end(), k) != function.end()) continue;
        if (std::find(keys.begin(), keys.end(), k) == keys.end()) keys.push_back(k);
    }
    return keys;
}

bool PreviewIsWide(int layoutVariant, int keyIndex) {
    if (layoutVariant != 1) return true;
    return std::find(std::begin(kWideOnVariant1), std::end(kWideOnVariant1), keyIndex) !=
           std::end(kWideOnVariant1);
}

// ---- the model ----------------------------------------------------------------------------------

IlluminationModel::IlluminationModel(ProfileStore& mirror, std::vector<int> mainBlock,
                                     int layoutVariant)
    : mirror_(mirror), variant_(layoutVariant) {
    for (int g = 0; g < kGroupCount; ++g) groupKeys_[g] = FixedGroupKeys(g);
    groupKeys_[kGroupMainBlock] = std::move(mainBlock);
}

void IlluminationModel::SetLayout(std::vector<int> mainBlock, int layoutVariant) {
    variant_ = layoutVariant;
    groupKeys_[kGroupMainBlock] = std::move(mainBlock);
    if (previewKey_ >= 0 && preview_ != PreviewForm::Thumb) {
        preview_ = PreviewIsWide(variant_, previewKey_) ? PreviewForm::Wide : PreviewForm::Normal;
    }
}

IlluminationRecord IlluminationModel::record(int mode, int layer) {
    return IlluminationRecord(mirror_.illumination(profile(), mode, layer));
}

std::uint8_t* IlluminationModel::groupFlags(int mode, int layer) {
    return mirror_.hostSettingsBlock.lightGroupFlags[profile()][mode][layer];
}

std::uint8_t* IlluminationModel::lightSettings() {
    return mirror_.lightReports[profile()];
}

std::vector<int> IlluminationModel::layerItems() const {
    std::vector<int> ids;
    for (int layer : LayersOffered(mode_)) ids.push_back(kLayerItemNormal + layer);
    return ids;
}

bool IlluminationModel::FollowsNormal() const {
    return mode_ == kAutomatic && layer_ == kLayerNormal;
}

void IlluminationModel::SetUp() {
    layer_ = kLayerNormal;
    ChooseLayer(kLayerItemNormal);  // takes the profile's mode and refreshes
    SelectKey(1);
}

void IlluminationModel::Refresh() {
    // A mode byte other than 0 or 1 would name a record outside the table:
    // everything but MANUAL is shown as AUTOMATIC (the byte stays as it is).
    mode_ = lightSettings()[kModeByte] == kManual ? kManual : kAutomatic;
    ShowMode();
    ShowGroups();
    macroFeedback.checked = lightSettings()[kFeedbackByte] != 0;
    volumeIndicator.checked = (mirror_.hostRecord(profile()).soundSettings.volumeDisplay & 1) != 0;
    ShowEffect();
    ShowDelayAndFade();
    SelectKey(selected_, true);
}

void IlluminationModel::ShowMode() {
    automatic.checked = mode_ == kAutomatic;
    manual.checked = mode_ == kManual;
    if (mode_ == kAutomatic && layer_ != kLayerNormal && layer_ != kLayerFlexlayer &&
        layer_ != kLayerFn) {
        layer_ = kLayerNormal;
    }
    layerCaption_ = LayerName(layer_);
}

void IlluminationModel::ShowGroups() {
    const std::uint8_t* flags = groupFlags(mode_, layer_);
    for (int g = 0; g < kGroupCount; ++g) groups[g].checked = flags[kGroupFlags[g]] != 0;
}

void IlluminationModel::ShowEffect() {
    const int effect = record().effect();
    fadeFx.checked = effect == kEffectFade;
    rippleFx.checked = effect == kEffectRipple;
    effectsActivate.checked = effect == kEffectFade || effect == kEffectRipple;
    EnableEditing(effect != kEffectRipple);
}

void IlluminationModel::ShowDelayAndFade() {
    IlluminationRecord r = record();
    delay.caption = Number(r.fadeDelay());
    delay.chosen = DelayItemId(r.fadeDelay());  // the menu marks the stored delay
    // A stored fade time of 4 x n (n = 1..5) shows item "n"; anything else an empty caption.
    const int t = r.fadeTime();
    const int n = t % 4 == 0 ? t / 4 : 0;
    if (n >= 1 && n <= kSpeedItems) {
        fade.caption = Number(n);
        fade.chosen = DelayItemId(n);
    } else {
        fade.caption.clear();
        fade.chosen = 0;
    }
}

void IlluminationModel::EnableEditing(bool on) {
    keyActivate.enabled = on;
    // A thumb key can only be lit or dark: its radios stay disabled.
    blinking.enabled = breathing.enabled = on && !IsThumbKey(selected_);
    for (Box& g : groups) g.enabled = on;
}

void IlluminationModel::ChooseLayer(int id) {
    layer_ = LayerOfItem(id);
    layerCaption_ = LayerName(layer_);
    Refresh();
}

void IlluminationModel::SelectKey(int keyIndex, bool redisplay) {
    // Indexes outside the 123 keys clear the selection and end here: they
    // have no place in the record.
    if (keyIndex < 0 || keyIndex >= kKeyCount) {
        selected_ = -1;
        return;
    }
    selected_ = keyIndex;
    if (!redisplay) {
        previewKey_ = keyIndex;
        preview_ = IsThumbKey(keyIndex) ? PreviewForm::Thumb
                   : PreviewIsWide(variant_, keyIndex) ? PreviewForm::Wide
                                                        : PreviewForm::Normal;
    }
    ShowSelectedKey();
}

void IlluminationModel::ShowSelectedKey() {
    const KeyLight light = record().key(selected_);
    keyActivate.checked = light.lit();
    if (IsThumbKey(selected_)) {
        blinking = breathing = Box{false, false};
        return;
    }
    const std::string one = Number(1);
    const int p = light.period();
    switch (light.look()) {
        case KeyLook::Breathing: {
            breathing.checked = true;
            blinking.checked = false;
            if (p != 0) {
                const int n = p == 64 ? 1 : p == 128 ? 2 : p == 192 ? 3 : p == 256 ? 4 : 5;
                breathingSpeed = {Number(n), SpeedItemId(n)};
            } else {
                breathingSpeed = {"0", SpeedItemId(1)};
            }
            blinkingSpeed = {one, SpeedItemId(1)};
            break;
        }
        case KeyLook::Blinking: {
            blinking.checked = true;
            breathing.checked = false;
            if (p != 0) {
                const int n = p % 4 == 0 && p / 4 >= 1 && p / 4 <= kSpeedItems ? p / 4 : 0;
                blinkingSpeed = {Number(n), SpeedItemId(n)};
            } else {
                blinkingSpeed = {one, 0};
            }
            breathingSpeed = {one, 0};
            break;
        }
        case KeyLook::Plain:
            blinking.checked = breathing.checked = false;
            blinkingSpeed = breathingSpeed = {one, SpeedItemId(1)};
            break;
    }
    blinking.enabled = breathing.enabled = true;
}

void IlluminationModel::SetKeyActivate(bool on) {
    if (!HasKey()) return;
    keyActivate.checked = on;
    IlluminationRecord r = record();
    if (on) {
        KeyLight light = r.key(selected_);
        light.first |= kLit;
        r.setKey(selected_, light);
    } else {
        r.setKey(selected_, {});
        blinking.checked = breathing.checked = false;
    }
}

void IlluminationModel::StartAnimation(KeyLight light) {
    keyActivate.checked = true;
    record().setKey(selected_, light);
    fadeFx.checked = rippleFx.checked = effectsActivate.checked = false;
    keyActivate.enabled = blinking.enabled = true;
    for (Box& g : groups) g.enabled = true;
    record().setEffect(kEffectNone);
}

void IlluminationModel::SetBlinking(bool on) {
    // Only the 120 keys with a light entry blink.
    if (!HasKey() || IsThumbKey(selected_)) return;
    blinking.checked = on;
    if (on) {
        breathing.checked = false;
        StartAnimation({kBlinking, 0});
        if (blinkingSpeed.chosen != 0) ChooseBlinkingSpeed(blinkingSpeed.chosen);
    } else {
        record().setKey(selected_, {static_cast<std::uint8_t>(record().key(selected_).first & kLit), 0});
    }
}

void IlluminationModel::SetBreathing(bool on) {
    if (!HasKey() || IsThumbKey(selected_)) return;
    breathing.checked = on;
    if (on) {
        blinking.checked = false;
        StartAnimation({kBreathing, 0});
        if (breathingSpeed.chosen != 0) ChooseBreathingSpeed(breathingSpeed.chosen);
    } else {
        record().setKey(selected_, {static_cast<std::uint8_t>(record().key(selected_).first & kLit), 0});
    }
}

void IlluminationModel::ChooseBlinkingSpeed(int id) {
    const int n = SpeedNumber(id);
    if (n != 0) blinkingSpeed.caption = Number(n);
    blinkingSpeed.chosen = id;
    if (selected_ < 0 || selected_ >= kKeyTableRows) return;
    IlluminationRecord r = record();
    if (r.key(selected_).first == kBlinking) {
        r.setKey(selected_, {kBlinking, static_cast<std::uint8_t>(4 * n)});
    }
}

void IlluminationModel::ChooseBreathingSpeed(int id) {
    const int n = SpeedNumber(id);
    if (n != 0) breathingSpeed.caption = Number(n);
    breathingSpeed.chosen = id;
    if (selected_ < 0 || selected_ >= kKeyTableRows) return;
    IlluminationRecord r = record();
    if (r.key(selected_).look() == KeyLook::Breathing) {
        const int p = 64 * n;
        r.setKey(selected_, {static_cast<std::uint8_t>(kBreathing | (p >> 8)),
                             static_cast<std::uint8_t>(p & 0xFF)});
    }
}

void IlluminationModel::ChooseDelay(int id) {
    const int n = DelayNumber(id);
    record().setFadeDelay(n);
    if (n != 0) delay.caption = Number(n);
    delay.chosen = id;
}

void IlluminationModel::ChooseFade(int id) {
    const int n = DelayNumber(id);
    record().setFadeTime(n >= 1 && n <= kSpeedItems ? 4 * n : 0);
    if (n != 0) fade.caption = Number(n);
    fade.chosen = id;
}

void IlluminationModel::SetEffectsActivate(bool on) {
    effectsActivate.checked = on;
    if (on) return;
    fadeFx.checked = rippleFx.checked = false;
    EnableEditing(true);
    record().setEffect(kEffectNone);
}

void IlluminationModel::SetFadeFx(bool on) {
    fadeFx.checked = on;
    IlluminationRecord r = record();
    if (!on) {
        r.setEffect(kEffectNone);
        effectsActivate.checked = false;
        return;
    }
    rippleFx.checked = false;
    effectsActivate.checked = true;
    r.setEffect(kEffectFade);
    for (int k = 0; k < kKeyTableRows; ++k) {
        r.setKey(k, {static_cast<std::uint8_t>(r.key(k).first & kLit), 0});
    }
    blinking.checked = breathing.checked = false;
    EnableEditing(true);
}

void IlluminationModel::SetRippleFx(bool on) {
    rippleFx.checked = on;
    const int effect = on ? kEffectRipple : kEffectNone;
    const int last = FollowsNormal() ? kFollowingLayers - 1 : layer_;
    for (int layer = FollowsNormal() ? 0 : layer_; layer <= last; ++layer) {
        IlluminationRecord r = record(mode_, layer);
        r.setEffect(effect);
        if (!on) continue;
        for (int k = 0; k < kKeyCount; ++k) r.setKey(k, {});
    }
    if (!on) {
        effectsActivate.checked = false;
        EnableEditing(true);
        return;
    }
    fadeFx.checked = false;
    effectsActivate.checked = true;
    std::fill_n(groupFlags(mode_, layer_), kLightGroupFlagCount, std::uint8_t{0});
    for (Box& g : groups) g.checked = false;
    // Every key is dark now; the selected key's boxes say so.
    keyActivate.checked = blinking.checked = breathing.checked = false;
    EnableEditing(false);
}

void IlluminationModel::LightKeys(const std::vector<int>& keys, bool on) {
    const KeyLight light = on ? KeyLight{kLit, 0} : KeyLight{};
    const int first = FollowsNormal() ? 0 : layer_;
    const int last = FollowsNormal() ? kFollowingLayers - 1 : layer_;
    for (int layer = first; layer <= last; ++layer) {
        IlluminationRecord r = record(mode_, layer);
        for (int k : keys) r.setKey(k, light);
    }
}

void IlluminationModel::SetGroup(int group, bool on) {
    if (group < 0 || group >= kGroupCount) return;
    std::uint8_t* flags = groupFlags(mode_, layer_);
    const std::uint8_t v = on ? 1 : 0;
    flags[kGroupFlags[group]] = v;
    groups[group].checked = on;
    LightKeys(groupKeys_[group], on);
    if (group == kGroupAll) {
        std::fill_n(flags, kLightGroupFlagCount, v);  // the six boxes' flags and bytes 1, 6, 7
        for (Box& g : groups) g.checked = on;
    } else if (group == kGroupMainBlock) {
        flags[kFlagMainBlockAndAll] = v;
        flags[kFlagWasd] = flags[kFlagArrows] = v;
        groups[kGroupWasd].checked = groups[kGroupArrows].checked = on;
    }
    SelectKey(selected_, true);
}

void IlluminationModel::SetMode(int mode) {
    lightSettings()[kModeByte] = static_cast<std::uint8_t>(mode == kManual ? kManual : kAutomatic);
    Refresh();
}

void IlluminationModel::SetMacroFeedback(bool on) {
    macroFeedback.checked = on;
    lightSettings()[kFeedbackByte] = on ? 1 : 0;
}

void IlluminationModel::SetVolumeIndicator(bool on) {
    volumeIndicator.checked = on;
    mirror_.hostRecord(profile()).soundSettings.volumeDisplay = on ? 1 : 0;
}

}  // namespace vyre::lights
