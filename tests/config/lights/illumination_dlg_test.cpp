// The illumination page driven as a user drives it: the mode radios and the
// layer box, the light groups, FADE FX and RIPPLE FX, the key boxes and their
// SPEED boxes, DELAY and FADE, the LED feedback boxes, the picture's
// animation, and which bytes of the mirror the page may change at all.

#include "config/lights/illumination_dlg.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QTest>

#include <random>

#include "common/key_table.h"
#include "tests/support/qt_app.h"

namespace vyre {
namespace {

using namespace lights;

constexpr int kProfile = 1;
constexpr int kW = 49, kEsc = 1, kF1 = 2, kQ = 37, kUp = 117;

struct Page {
    explicit Page(int variant = 0) {
        testing::App();
        ResetStoreToDefaults(*mirror, KeyTableUsages());
        mirror->hostSettingsBlock.modelFlag = 2;
        mirror->setCurrentProfile(kProfile);
        page = std::make_unique<CKeyIlluminationDlg>(*mirror, variant);
        page->resize(780, 317);
        page->show();
    }
    std::span<std::uint8_t, 253> rec(int mode, int layer) {
        return mirror->illumination(kProfile, mode, layer);
    }
    std::pair<int, int> entry(int mode, int layer, int key) {
        auto r = rec(mode, layer);
        return {r[8 + 2 * key], r[9 + 2 * key]};
    }
    std::uint8_t* flags(int mode, int layer) {
        return mirror->hostSettingsBlock.lightGroupFlags[kProfile][mode][layer];
    }
    std::uint8_t& modeByte() { return mirror->lightReports[kProfile][10]; }
    static void Click(QAbstractButton& b) { QTest::mouseClick(&b, Qt::LeftButton, {}, QPoint(5, 9)); }
    void ClickKey(int k) {
        auto* key = page->picture().key(k);
        ASSERT_TRUE(key != nullptr && key->isVisible()) << k;
        QTest::mouseClick(key, Qt::LeftButton, {}, key->rect().center());
    }
    static QStringList Items(widgets::CSkinMenuButton& box) {
        QStringList texts;
        for (QAction* a : box.menu().actions()) texts << a->text();
        return texts;
    }
    static void Choose(widgets::CSkinMenuButton& box, int id) {
        for (QAction* a : box.menu().actions()) {
            if (a->data().toInt() == id) return a->trigger();
        }
        ADD_FAILURE() << "no item " << id;
    }
    void Manual() {
        if (!page->manualRadio().isChecked()) Click(page->manualRadio());
    }

    std::unique_ptr<ProfileStore> mirror = NewProfileStore();
    std::unique_ptr<CKeyIlluminationDlg> page;
};

TEST(IlluminationModeAndLayer, AutomaticFromRightWinMovesToNormalAndOffersThreeLayers) {
    Page t;
    t.Manual();
    EXPECT_EQ(t.modeByte(), 1);
    EXPECT_EQ(Page::Items(t.page->layerBox()).size(), 11);
    Page::Choose(t.page->layerBox(), kLayerItemNormal + kLayerRightWin);
    EXPECT_EQ(t.page->layerBox().text(), "Right Win");
    EXPECT_EQ(t.page->model().layer(), kLayerRightWin);

    Page::Click(t.page->automaticRadio());
    EXPECT_EQ(t.modeByte(), 0);
    EXPECT_TRUE(t.page->automaticRadio().isChecked());
    EXPECT_FALSE(t.page->manualRadio().isChecked());
    EXPECT_EQ(t.page->model().layer(), kLayerNormal);
    EXPECT_EQ(t.page->layerBox().text(), "Normal");
    EXPECT_EQ(Page::Items(t.page->layerBox()), (QStringList{"Normal", "Flexlayer", "FN"}));

    // The layer box shows each layer's own record and group flags.
    t.rec(0, kLayerFn)[8 + 2 * kQ] = 0x80;
    t.flags(0, kLayerFn)[3] = 1;
    Page::Choose(t.page->layerBox(), kLayerItemNormal + kLayerFn);
    EXPECT_TRUE(t.page->picture().key(kQ)->lit());
    EXPECT_TRUE(t.page->groupBox(kGroupWasd).isChecked());
    EXPECT_TRUE(t.page->groupBox(kGroupFunction).isChecked());  // layer 10's reset flag: F KEYS
    EXPECT_FALSE(t.page->groupBox(kGroupThumb).isChecked());
}

TEST(IlluminationGroups, MainBlockOnAutomaticNormalReachesLayersZeroToEightAKeyOnlyLayerZero) {
    Page t;
    ASSERT_EQ(t.modeByte(), 0);
    Page::Click(t.page->groupBox(kGroupMainBlock));
    for (int layer = 0; layer <= 8; ++layer) {
        EXPECT_EQ(t.entry(0, layer, kQ), std::make_pair(0x80, 0)) << layer;
        EXPECT_EQ(t.entry(0, layer, kUp), std::make_pair(0x80, 0)) << layer;
        EXPECT_EQ(t.entry(0, layer, kF1), std::make_pair(0, 0)) << layer;  // F KEYS not in it
    }
    EXPECT_EQ(t.entry(0, kLayerFlexlayer, kQ), std::make_pair(0, 0));
    EXPECT_EQ(t.entry(1, 0, kQ), std::make_pair(0, 0));
    const std::uint8_t* f = t.flags(0, 0);
    EXPECT_EQ(f[5], 1);
    EXPECT_EQ(f[6], 1);
    EXPECT_EQ(f[3], 1);
    EXPECT_EQ(f[8], 1);
    EXPECT_TRUE(t.page->groupBox(kGroupWasd).isChecked());
    EXPECT_TRUE(t.page->groupBox(kGroupArrows).isChecked());
    EXPECT_EQ(t.rec(0, 4)[248], 0);  // thumb keys are not in the main block

    // A per-key edit changes the shown record only. (A steady key offers
    // speed "1", which BLINKING takes.)
    t.ClickKey(kQ);
    EXPECT_EQ(t.page->blinkingSpeedBox().text(), "1");
    Page::Click(t.page->blinkingRadio());
    EXPECT_EQ(t.entry(0, 0, kQ), std::make_pair(0x90, 4));
    for (int layer = 1; layer <= 8; ++layer) EXPECT_EQ(t.entry(0, layer, kQ), std::make_pair(0x80, 0));

    // Unticking MAIN BLOCK darkens it and unticks WASD and ARROW KEYS.
    Page::Click(t.page->groupBox(kGroupMainBlock));
    EXPECT_EQ(t.entry(0, 3, kW), std::make_pair(0, 0));
    EXPECT_EQ(f[3] + f[5] + f[6] + f[8], 0);
    EXPECT_FALSE(t.page->groupBox(kGroupWasd).isChecked());
}

TEST(IlluminationGroups, AllSetsEveryFlagAndKeyAndInManualOnlyTheShownRecord) {
    Page t;
    t.Manual();
    Page::Choose(t.page->layerBox(), kLayerItemNormal + 3);
    Page::Click(t.page->groupBox(kGroupAll));
    for (int i = 0; i < kLightGroupFlagCount; ++i) EXPECT_EQ(t.flags(1, 3)[i], 1) << i;
    for (int g = 0; g < kGroupCount; ++g) EXPECT_TRUE(t.page->groupBox(g).isChecked()) << g;
    for (int k = 0; k < kKeyTableRows; ++k) EXPECT_EQ(t.entry(1, 3, k), std::make_pair(0x80, 0)) << k;
    for (int b = 248; b <= 250; ++b) EXPECT_EQ(t.rec(1, 3)[b], 0x80);
    EXPECT_EQ(t.entry(1, 4, kQ), std::make_pair(0, 0));
    EXPECT_EQ(t.entry(0, 3, kQ), std::make_pair(0, 0));
    // The selected key (ESC) is shown again: lit.
    EXPECT_TRUE(t.page->keyActivateBox().isChecked());

    Page::Click(t.page->groupBox(kGroupThumb));  // T KEYS off: only the thumb keys go dark
    EXPECT_EQ(t.rec(1, 3)[249], 0);
    EXPECT_EQ(t.entry(1, 3, kQ), std::make_pair(0x80, 0));
    EXPECT_EQ(t.flags(1, 3)[2], 0);
    EXPECT_TRUE(t.page->groupBox(kGroupAll).isChecked());
    Page::Click(t.page->groupBox(kGroupAll));
    for (int i = 0; i < kLightGroupFlagCount; ++i) EXPECT_EQ(t.flags(1, 3)[i], 0) << i;
    EXPECT_EQ(t.entry(1, 3, kQ), std::make_pair(0, 0));
    EXPECT_FALSE(t.page->keyActivateBox().isChecked());
}

TEST(IlluminationEffects, FadeFxKeepsOnlyTheLitBitAndLeavesTheThumbKeys) {
    Page t;
    t.Manual();
    auto r = t.rec(1, 0);
    r[8 + 2 * kQ] = 0x90, r[9 + 2 * kQ] = 12;     // blinking
    r[8 + 2 * kW] = 0xB1, r[9 + 2 * kW] = 0x40;   // breathing
    r[8 + 2 * kUp] = 0x10, r[9 + 2 * kUp] = 0x08; // dark, with animation bits
    r[248] = 0x80, r[249] = 0x00, r[250] = 0x80;
    t.page->Refresh();
    t.ClickKey(kQ);
    EXPECT_TRUE(t.page->blinkingRadio().isChecked());
    Page::Click(t.page->fadeFxRadio());
    EXPECT_EQ(r[5], kEffectFade);
    EXPECT_EQ(t.entry(1, 0, kQ), std::make_pair(0x80, 0));
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0x80, 0));
    EXPECT_EQ(t.entry(1, 0, kUp), std::make_pair(0, 0));
    EXPECT_EQ(r[248], 0x80);
    EXPECT_EQ(r[249], 0x00);
    EXPECT_EQ(r[250], 0x80);
    EXPECT_TRUE(t.page->effectsActivateBox().isChecked());
    EXPECT_FALSE(t.page->blinkingRadio().isChecked());

    // Unticking the effects ACTIVATE ends the effect.
    Page::Click(t.page->effectsActivateBox());
    EXPECT_EQ(r[5], kEffectNone);
    EXPECT_FALSE(t.page->fadeFxRadio().isChecked());
    // Ticking it alone changes nothing.
    Page::Click(t.page->effectsActivateBox());
    EXPECT_EQ(r[5], kEffectNone);
    EXPECT_FALSE(t.page->fadeFxRadio().isChecked());
}

TEST(IlluminationEffects, RippleFxDarkensEverythingAndUntickingDoesNotRelight) {
    Page t;
    Page::Click(t.page->groupBox(kGroupAll));  // AUTOMATIC on Normal: layers 0..8 lit
    Page::Click(t.page->rippleFxRadio());
    for (int layer = 0; layer <= 8; ++layer) {
        auto r = t.rec(0, layer);
        EXPECT_EQ(r[5], kEffectRipple) << layer;
        for (int b = 8; b <= 250; ++b) ASSERT_EQ(r[b], 0) << layer << " " << b;
    }
    for (int i = 0; i < kLightGroupFlagCount; ++i) EXPECT_EQ(t.flags(0, 0)[i], 0);
    for (int g = 0; g < kGroupCount; ++g) {
        EXPECT_FALSE(t.page->groupBox(g).isChecked());
        EXPECT_FALSE(t.page->groupBox(g).isEnabled());
    }
    EXPECT_FALSE(t.page->keyActivateBox().isEnabled());
    EXPECT_FALSE(t.page->blinkingRadio().isEnabled());
    EXPECT_FALSE(t.page->picture().key(kQ)->lit());

    // Shown again, a key that is not a thumb key may blink; doing so ends the effect.
    t.page->Refresh();
    EXPECT_TRUE(t.page->rippleFxRadio().isChecked());
    EXPECT_FALSE(t.page->keyActivateBox().isEnabled());
    t.ClickKey(kQ);
    EXPECT_TRUE(t.page->blinkingRadio().isEnabled());
    EXPECT_TRUE(t.page->breathingRadio().isEnabled());
    Page::Click(t.page->breathingRadio());
    EXPECT_EQ(t.rec(0, 0)[5], kEffectNone);
    EXPECT_EQ(t.rec(0, 1)[5], kEffectRipple);  // a per-key edit stays on its layer
    EXPECT_FALSE(t.page->rippleFxRadio().isChecked());
    EXPECT_FALSE(t.page->effectsActivateBox().isChecked());
    EXPECT_EQ(t.entry(0, 0, kQ), std::make_pair(0xB0, 64));
    EXPECT_EQ(t.entry(0, 0, kW), std::make_pair(0, 0));
    EXPECT_TRUE(t.page->groupBox(kGroupAll).isEnabled());

    // On and off again: every layer back to no effect, still dark.
    Page::Click(t.page->rippleFxRadio());
    Page::Click(t.page->rippleFxRadio());
    for (int layer = 0; layer <= 8; ++layer) EXPECT_EQ(t.rec(0, layer)[5], kEffectNone);
    EXPECT_EQ(t.entry(0, 0, kQ), std::make_pair(0, 0));
    EXPECT_EQ(t.rec(0, 0)[248], 0);
    EXPECT_TRUE(t.page->keyActivateBox().isEnabled());
    EXPECT_TRUE(t.page->groupBox(kGroupAll).isEnabled());
}

TEST(IlluminationKeyBoxes, SpeedsCaptionsAndTheActivateBox) {
    Page t;
    t.Manual();
    t.ClickKey(kW);
    Page::Click(t.page->breathingRadio());
    EXPECT_TRUE(t.page->keyActivateBox().isChecked());
    Page::Choose(t.page->breathingSpeedBox(), SpeedItemId(5));
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0xB1, 0x40));
    Page::Choose(t.page->breathingSpeedBox(), SpeedItemId(2));
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0xB0, 0x80));
    EXPECT_EQ(t.page->breathingSpeedBox().text(), "2");
    // The blinking speed is kept for a key that does not blink, but shown.
    Page::Choose(t.page->blinkingSpeedBox(), SpeedItemId(4));
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0xB0, 0x80));
    EXPECT_EQ(t.page->blinkingSpeedBox().text(), "4");
    // BLINKING takes the chosen speed at once.
    Page::Click(t.page->blinkingRadio());
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0x90, 16));
    EXPECT_FALSE(t.page->breathingRadio().isChecked());
    // Unticked, it keeps only the lit bit.
    Page::Click(t.page->blinkingRadio());
    EXPECT_EQ(t.entry(1, 0, kW), std::make_pair(0x80, 0));

    // Captions of entries without a period.
    auto r = t.rec(1, 0);
    r[8 + 2 * kQ] = 0x90, r[9 + 2 * kQ] = 0;
    r[8 + 2 * kUp] = 0xB0, r[9 + 2 * kUp] = 0;
    t.ClickKey(kQ);
    EXPECT_TRUE(t.page->blinkingRadio().isChecked());
    EXPECT_EQ(t.page->blinkingSpeedBox().text(), "1");
    t.ClickKey(kUp);
    EXPECT_TRUE(t.page->breathingRadio().isChecked());
    EXPECT_EQ(t.page->breathingSpeedBox().text(), "0");
    EXPECT_EQ(t.page->blinkingSpeedBox().text(), "1");

    // ACTIVATE off clears the breathing entry; on again gives a steady key.
    // BLINKING on a key blinking without a period has no speed to take.
    t.ClickKey(kQ);
    Page::Click(t.page->blinkingRadio());
    Page::Click(t.page->blinkingRadio());
    EXPECT_EQ(t.entry(1, 0, kQ), std::make_pair(0x90, 0));
    t.ClickKey(kUp);
    Page::Click(t.page->keyActivateBox());
    EXPECT_EQ(t.entry(1, 0, kUp), std::make_pair(0, 0));
    EXPECT_FALSE(t.page->breathingRadio().isChecked());
    EXPECT_FALSE(t.page->picture().key(kUp)->lit());
    Page::Click(t.page->keyActivateBox());
    EXPECT_EQ(t.entry(1, 0, kUp), std::make_pair(0x80, 0));
    EXPECT_TRUE(t.page->picture().key(kUp)->lit());
}

// Showing a key that blinks with a period also chooses that SPEED item, so
// that ticking BLINKING again gives the speed the box shows.
TEST(IlluminationKeyBoxes, TheSpeedShownIsTheSpeedTakenAgain) {
    Page t;
    t.Manual();
    auto r = t.rec(1, 0);
    r[8 + 2 * kQ] = 0x90, r[9 + 2 * kQ] = 12;  // blinking at speed 3
    t.ClickKey(kW);
    t.ClickKey(kQ);
    EXPECT_EQ(t.page->blinkingSpeedBox().text(), "3");
    Page::Click(t.page->blinkingRadio());
    Page::Click(t.page->blinkingRadio());
    EXPECT_EQ(t.entry(1, 0, kQ), std::make_pair(0x90, 12));
}

TEST(IlluminationKeyBoxes, SelectionMarksOneKeyAndAThumbKeyHasNoRadios) {
    Page t;
    EXPECT_EQ(t.page->model().selectedKey(), kEsc);
    EXPECT_TRUE(t.page->picture().key(kEsc)->selected());
    EXPECT_EQ(t.page->model().preview(), PreviewForm::Wide);
    t.rec(0, 0)[249] = 0x80;
    t.ClickKey(kThumbKey2);
    EXPECT_FALSE(t.page->picture().key(kEsc)->selected());
    EXPECT_TRUE(t.page->picture().key(kThumbKey2)->selected());
    EXPECT_EQ(t.page->model().preview(), PreviewForm::Thumb);
    EXPECT_TRUE(t.page->keyActivateBox().isChecked());
    EXPECT_FALSE(t.page->blinkingRadio().isEnabled());
    EXPECT_FALSE(t.page->breathingRadio().isEnabled());
    Page::Click(t.page->keyActivateBox());
    EXPECT_EQ(t.rec(0, 0)[249], 0);
    Page::Click(t.page->keyActivateBox());
    EXPECT_EQ(t.rec(0, 0)[249], 0x80);
    EXPECT_EQ(t.rec(0, 0)[250], 0);
}

TEST(IlluminationDelayAndFade, StoredValuesAndWhatTheBoxesShowAgain) {
    Page t;
    Page::Choose(t.page->delayBox(), DelayItemId(16));
    EXPECT_EQ(t.rec(0, 0)[6], 16);
    EXPECT_EQ(t.page->delayBox().text(), "16");
    Page::Choose(t.page->fadeBox(), DelayItemId(6));
    EXPECT_EQ(t.rec(0, 0)[7], 0);
    EXPECT_EQ(t.page->fadeBox().text(), "6");
    Page::Choose(t.page->fadeBox(), DelayItemId(3));
    EXPECT_EQ(t.rec(0, 0)[7], 12);
    Page::Choose(t.page->delayBox(), DelayItemId(30));
    EXPECT_EQ(t.rec(0, 0)[6], 30);
    t.page->Refresh();
    EXPECT_EQ(t.page->delayBox().text(), "30");
    EXPECT_EQ(t.page->fadeBox().text(), "3");
    t.rec(0, 0)[7] = 0;
    t.page->Refresh();
    EXPECT_EQ(t.page->fadeBox().text(), "");
    EXPECT_EQ(Page::Items(t.page->fadeBox()).size(), 30);
}

TEST(IlluminationFeedback, BothBoxesWriteTheirProfileByte) {
    Page t;
    Page::Click(t.page->macroFeedbackBox());
    Page::Click(t.page->volumeIndicatorBox());
    EXPECT_EQ(t.mirror->lightReports[kProfile][11], 1);
    EXPECT_EQ(t.mirror->hostRecord(kProfile).soundSettings.volumeDisplay, 1);
    Page::Click(t.page->volumeIndicatorBox());
    EXPECT_EQ(t.mirror->hostRecord(kProfile).soundSettings.volumeDisplay, 0);
    // Another profile shows its own switches.
    t.mirror->hostRecord(3).soundSettings.volumeDisplay = 0x03;  // read by its bit 0
    t.mirror->setCurrentProfile(3);
    t.page->Refresh();
    EXPECT_FALSE(t.page->macroFeedbackBox().isChecked());
    EXPECT_TRUE(t.page->volumeIndicatorBox().isChecked());
}

TEST(IlluminationPicture, AnimatesOnlyWhileShownAndMainBlockFollowsTheVariant) {
    Page t;
    t.Manual();
    auto r = t.rec(1, 0);
    r[8 + 2 * kQ] = 0x90, r[9 + 2 * kQ] = 8;
    r[8 + 2 * kW] = 0xB0, r[9 + 2 * kW] = 0x80;
    t.page->Refresh();
    EXPECT_TRUE(t.page->animating());
    EXPECT_TRUE(t.page->picture().key(kQ)->blinking());
    EXPECT_TRUE(t.page->picture().key(kW)->breathing());
    t.page->hide();
    EXPECT_FALSE(t.page->animating());
    EXPECT_FALSE(t.page->picture().key(kQ)->blinking());
    EXPECT_FALSE(t.page->picture().key(kW)->breathing());
    t.page->show();
    EXPECT_TRUE(t.page->picture().key(kQ)->blinking());

    // The MAIN BLOCK holds the variant's shown keys and nothing else.
    for (int variant : {0, 12, 13, 5}) {
        t.page->SetLayoutVariant(variant);
        const auto& main = t.page->model().groupKeys(kGroupMainBlock);
        for (int k = 0; k < kKeyTableRows; ++k) {
            const bool in = std::find(main.begin(), main.end(), k) != main.end();
            const bool shown = widgets::CKeyboardPicture::KeyOnLayout(k, variant);
            const bool function = k == kEsc || IsFunctionKey(k);
            EXPECT_EQ(in, shown && !function) << variant << " key " << k;
        }
    }
}

// Every control, each way: afterwards only the bytes the page owns differ.
TEST(IlluminationBytes, NoControlTouchesAByteTheRecordOrStoreDoesNotGiveIt) {
    Page t;
    std::mt19937 random(7);
    auto& blocks = t.mirror->blocks();
    auto* bytes = reinterpret_cast<std::uint8_t*>(&blocks);
    for (std::size_t i = 0; i < sizeof blocks; ++i) bytes[i] = static_cast<std::uint8_t>(random());
    t.mirror->setCurrentProfile(kProfile);
    t.modeByte() = 1;
    std::vector<std::uint8_t> before(bytes, bytes + sizeof blocks);
    t.page->Refresh();

    for (int pass = 0; pass < 2; ++pass) {
        for (int layer : pass == 0 ? std::vector<int>{0, 4, 10} : std::vector<int>{0, 9, 10}) {
            Page::Choose(t.page->layerBox(), kLayerItemNormal + layer);
            for (int k : {kQ, kW, kThumbKey1, kUp}) {
                t.ClickKey(k);
                Page::Click(t.page->keyActivateBox());
                Page::Click(t.page->blinkingRadio());
                Page::Choose(t.page->blinkingSpeedBox(), SpeedItemId(3));
                Page::Click(t.page->breathingRadio());
                Page::Choose(t.page->breathingSpeedBox(), SpeedItemId(5));
            }
            Page::Choose(t.page->delayBox(), DelayItemId(9));
            Page::Choose(t.page->fadeBox(), DelayItemId(2));
            for (int g = 0; g < kGroupCount; ++g) Page::Click(t.page->groupBox(g));
            Page::Click(t.page->fadeFxRadio());
            Page::Click(t.page->rippleFxRadio());
            Page::Click(t.page->rippleFxRadio());
            Page::Click(t.page->effectsActivateBox());
        }
        Page::Click(t.page->macroFeedbackBox());
        Page::Click(t.page->volumeIndicatorBox());
        Page::Click(pass == 0 ? t.page->automaticRadio() : t.page->manualRadio());
    }

    const auto offset = [&](const void* p) {
        return static_cast<std::size_t>(static_cast<const std::uint8_t*>(p) - bytes);
    };
    std::vector<bool> owned(sizeof blocks, false);
    for (int mode = 0; mode < 2; ++mode) {
        for (int layer = 0; layer < 11; ++layer) {
            const std::size_t at = offset(blocks.illuminationTable[kProfile][mode][layer]);
            for (std::size_t b = 5; b <= 250; ++b) owned[at + b] = true;
            const std::size_t flags = offset(blocks.hostSettingsBlock.lightGroupFlags[kProfile][mode][layer]);
            for (int b = 0; b < kLightGroupFlagCount; ++b) owned[flags + b] = true;
        }
    }
    owned[offset(&blocks.lightReports[kProfile][10])] = true;
    owned[offset(&blocks.lightReports[kProfile][11])] = true;
    owned[offset(&blocks.hostRecord(kProfile).soundSettings.volumeDisplay)] = true;

    std::size_t changed = 0;
    for (std::size_t i = 0; i < sizeof blocks; ++i) {
        if (bytes[i] == before[i]) continue;
        ++changed;
        ASSERT_TRUE(owned[i]) << "byte " << i << " changed";
    }
    EXPECT_GT(changed, 100u);
}

}  // namespace
}  // namespace vyre
