// The illumination page's model on its own: the menus' ids, the record's
// bytes, the light groups and the selection of keys the record has no place
// for.

#include "config/lights/illumination_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "common/key_table.h"

namespace vyre::lights {
namespace {

TEST(IlluminationMenus, DelayItemsSkip32869AndPlace16Apart) {
    EXPECT_EQ(DelayItemId(1), 32854);
    EXPECT_EQ(DelayItemId(15), 32868);
    EXPECT_EQ(DelayItemId(16), 32884);
    EXPECT_EQ(DelayItemId(17), 32870);
    EXPECT_EQ(DelayItemId(30), 32883);
    EXPECT_EQ(DelayItemId(0), 0);
    EXPECT_EQ(DelayItemId(31), 0);
    for (int n = 1; n <= kDelayItems; ++n) EXPECT_EQ(DelayNumber(DelayItemId(n)), n) << n;
    EXPECT_EQ(DelayNumber(32869), 0);
    EXPECT_EQ(DelayNumber(32853), 0);
    EXPECT_EQ(SpeedNumber(32858), 5);
    EXPECT_EQ(SpeedNumber(32859), 0);
}

TEST(IlluminationMenus, LayerItemsAndTheLayersEachModeOffers) {
    EXPECT_EQ(LayerOfItem(32842), 0);
    EXPECT_EQ(LayerOfItem(32850), 8);
    EXPECT_EQ(LayerOfItem(32852), 10);
    EXPECT_EQ(LayerOfItem(32853), 0);  // outside the menu
    EXPECT_EQ(LayerOfItem(1), 0);
    EXPECT_STREQ(LayerName(8), "Right Win");
    EXPECT_EQ(LayersOffered(0), (std::vector<int>{0, 9, 10}));
    EXPECT_EQ(LayersOffered(1).size(), 11u);
}

TEST(IlluminationRecordBytes, EntriesThumbBytesAndTheHeaderAndTrailerUntouched) {
    std::uint8_t bytes[report::kIlluminationLength];
    std::memset(bytes, 0xEE, sizeof bytes);
    IlluminationRecord r{std::span<std::uint8_t, report::kIlluminationLength>(bytes)};
    for (int k = 0; k < kKeyCount; ++k) r.setKey(k, {});
    r.setKey(0, {0xB1, 0x40});
    r.setKey(119, {0x90, 0x14});
    r.setKey(121, {0x80, 0x14});  // a thumb key has one byte
    r.setKey(123, {0x80, 0});     // no place in the record
    r.setKey(-1, {0x80, 0});
    EXPECT_EQ(bytes[8], 0xB1);
    EXPECT_EQ(bytes[9], 0x40);
    EXPECT_EQ(bytes[246], 0x90);
    EXPECT_EQ(bytes[247], 0x14);
    EXPECT_EQ(bytes[248], 0x00);
    EXPECT_EQ(bytes[249], 0x80);
    EXPECT_EQ(bytes[250], 0x00);
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 251, 252}) EXPECT_EQ(bytes[i], 0xEE) << i;
    EXPECT_EQ(r.key(0).look(), KeyLook::Breathing);
    EXPECT_EQ(r.key(0).period(), 320);
    EXPECT_EQ(r.key(119).look(), KeyLook::Blinking);
    EXPECT_EQ((KeyLight{0xA0, 0}).look(), KeyLook::Plain);  // breathing needs the animated bit
    EXPECT_EQ((KeyLight{0x30, 0}).look(), KeyLook::Plain);  // and the lit bit
    EXPECT_TRUE(r.lit(121));
    EXPECT_FALSE(r.lit(123));
}

TEST(IlluminationGroups, FixedSetsAndTheMainBlockOfAPicture) {
    EXPECT_EQ(FixedGroupKeys(kGroupFunction).size(), 16u);
    EXPECT_EQ(FixedGroupKeys(kGroupAll).size(), 123u);
    // Shown keys: ESC, F1, a thumb key, W, Up, M1, and W twice.
    const std::vector<int> shown{1, 2, 120, 49, 117, 0, 49};
    EXPECT_EQ(MainBlockKeys(shown), (std::vector<int>{49, 117, 0}));
    EXPECT_STREQ(LightGroupCaption(kGroupMainBlock), "MAIN BLOCK");
    EXPECT_EQ(LightGroupFlag(kGroupArrows), 8);
    EXPECT_EQ(LightGroupFlag(kGroupThumb), 2);
}

TEST(IlluminationPreview, WideFormAndTimeScale) {
    EXPECT_TRUE(PreviewIsWide(0, 50));
    EXPECT_TRUE(PreviewIsWide(1, 112));
    EXPECT_FALSE(PreviewIsWide(1, 50));
    EXPECT_EQ(BlinkCycleMs(4), 400);
    EXPECT_EQ(BlinkCycleMs(20), 2000);
    EXPECT_EQ(BlinkCycleMs(0), 400);
    EXPECT_EQ(BreathCycleMs(64), 1000);
    EXPECT_EQ(BreathCycleMs(320), 5000);
    EXPECT_EQ(BreathCycleMs(0), 1000);
}

struct Model {
    Model() {
        store->setCurrentProfile(2);
        model.SetUp();
    }
    std::unique_ptr<ProfileStore> store = NewProfileStore();
    IlluminationModel model{*store, {49, 61, 73, 62, 117, 116, 104, 118, 50}, 0};
};

TEST(IlluminationSelection, KeysWithoutAPlaceClearTheSelectionAndChangeNothing) {
    Model m;
    EXPECT_EQ(m.model.selectedKey(), 1);
    EXPECT_EQ(m.model.preview(), PreviewForm::Wide);
    const auto before = std::vector<std::uint8_t>(
        &m.store->illuminationTable[0][0][0][0], &m.store->illuminationTable[0][0][0][0] + 27830);
    for (int k : {123, 150, 199, 200, -5}) {
        m.model.SelectKey(1);
        m.model.SelectKey(k);
        EXPECT_EQ(m.model.selectedKey(), -1) << k;
        m.model.SetKeyActivate(true);
        m.model.SetBlinking(true);
        m.model.SetBreathing(true);
        m.model.ChooseBlinkingSpeed(SpeedItemId(3));
        m.model.ChooseBreathingSpeed(SpeedItemId(3));
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), &m.store->illuminationTable[0][0][0][0]));
}

TEST(IlluminationSelection, AThumbKeyNeverTakesABlinkingOrBreathingEntry) {
    Model m;
    m.model.SelectKey(kThumbKey1);
    m.model.SetFadeFx(true);  // enables the key controls again, but not the radios for T1
    EXPECT_FALSE(m.model.blinking.enabled);
    EXPECT_FALSE(m.model.breathing.enabled);
    m.model.SetBlinking(true);
    m.model.SetBreathing(true);
    auto rec = m.store->illumination(2, 0, 0);
    EXPECT_EQ(rec[248], 0);
    EXPECT_EQ(rec[249], 0);
    m.model.SetKeyActivate(true);
    EXPECT_EQ(rec[248], 0x80);
    EXPECT_EQ(rec[249], 0);
    // ACTIVATE sets the lit bit and keeps the byte's other bits.
    rec[250] = 0x05;
    m.model.SelectKey(kThumbKey3);
    m.model.SetKeyActivate(true);
    EXPECT_EQ(rec[250], 0x85);
}

TEST(IlluminationMode, AModeByteOtherThanZeroOrOneShowsAutomaticAndStays) {
    Model m;
    m.store->lightReports[2][10] = 7;
    m.model.ChooseLayer(32850);
    EXPECT_EQ(m.model.mode(), 0);
    EXPECT_EQ(m.model.layer(), 0);
    EXPECT_TRUE(m.model.automatic.checked);
    EXPECT_EQ(m.store->lightReports[2][10], 7);
    m.model.SetMode(1);
    EXPECT_EQ(m.store->lightReports[2][10], 1);
}

}  // namespace
}  // namespace vyre::lights
