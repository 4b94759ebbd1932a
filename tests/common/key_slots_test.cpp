#include "common/key_slots.h"

#include "common/flexlayer_keys.h"
#include "common/slots.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace vyre {
namespace {

TEST(SlotTables, PairCountsAndRanges) {
    ASSERT_EQ(PrimarySlotTable().size(), 23u);
    ASSERT_EQ(SecondarySlotTable().size(), 120u);
    std::set<int> primarySlots;
    for (const SlotPair& pair : PrimarySlotTable()) primarySlots.insert(pair.slot);
    std::set<int> expectedPrimary = {0, 1, 2, 3, 4, 10, 11, 12};
    for (int slot = 112; slot <= 126; ++slot) expectedPrimary.insert(slot);
    EXPECT_EQ(primarySlots, expectedPrimary);
    for (const SlotPair& pair : SecondarySlotTable()) {
        EXPECT_TRUE((pair.slot >= 5 && pair.slot <= 9) ||
                    (pair.slot >= 13 && pair.slot < kFunctionSlotCount))
            << int(pair.slot);
    }
}

TEST(SlotTables, KnownPairs) {
    const auto primary = PrimarySlotTable();
    const auto secondary = SecondarySlotTable();
    EXPECT_EQ(FindSlot(primary, 0), 0);        // M1
    EXPECT_EQ(FindSlot(primary, 96), 4);       // M5
    EXPECT_EQ(FindSlot(primary, 120), 10);     // thumb key 1
    EXPECT_EQ(FindSlot(primary, 2), 112);      // F1
    EXPECT_EQ(FindSlot(primary, 14), 113);     // F2
    EXPECT_EQ(FindSlot(primary, 33), 126);     // Pause
    EXPECT_EQ(FindSlot(secondary, 24), 6);     // M2
    EXPECT_EQ(FindSlot(secondary, 122), 15);   // thumb key 3
    EXPECT_EQ(FindSlot(secondary, 12), 16);    // "~", position 0
    EXPECT_EQ(FindSlot(secondary, 107), 111);  // ".(pad)", position 95
    EXPECT_EQ(FindSlot(secondary, 2), 127);    // F1
    EXPECT_EQ(FindSlot(secondary, 33), 141);   // Pause: the last slot
}

TEST(SlotTables, KeysWithoutAPairHaveNoSlot) {
    // Normal keys are not in the primary table at all.
    EXPECT_FALSE(FindSlot(PrimarySlotTable(), 12).has_value());
    // ESC, Caps lock, Fn and WIN_R stand at no Flexlayer position.
    for (int key : {1, 60, 115, 119, 123, 200}) {
        EXPECT_FALSE(FindSlot(SecondarySlotTable(), key).has_value()) << key;
    }
    // The lookup ends at the table's own pairs: the first 8 primary pairs hold
    // no function key.
    EXPECT_FALSE(FindSlot(PrimarySlotTable().first(8), 2).has_value());
    EXPECT_FALSE(FindSlot({}, 0).has_value());
}

TEST(SlotTables, SecondaryTableCoversEveryLayoutVariant) {
    // Every key at a Flexlayer position of any layout has the pair 16 + that
    // position; every slot 16..111 belongs to some key.
    std::multimap<int, int> pairs;
    std::set<int> slots;
    for (const SlotPair& pair : SecondarySlotTable()) {
        pairs.emplace(pair.keyIndex, pair.slot);
        slots.insert(pair.slot);
    }
    for (int code : {0, 12, 13, 50}) {
        for (int p = 0; p < kFlexlayerPositions; ++p) {
            const int key = FlexlayerKeys(code)[p];
            if (key == kNoKey) continue;
            bool found = false;
            for (auto [it, end] = pairs.equal_range(key); it != end; ++it)
                found |= it->second == 16 + p;
            EXPECT_TRUE(found) << "layout " << code << " key " << key;
        }
    }
    for (int slot = 5; slot < kFunctionSlotCount; ++slot) {
        if (slot >= 10 && slot <= 12) continue;    // primary thumb key slots
        if (slot >= 112 && slot <= 126) continue;  // primary function key slots
        EXPECT_TRUE(slots.count(slot)) << slot;
    }
    EXPECT_EQ(pairs.count(102), 2u);  // "K151" at positions 62 and 64
}

TEST(FunctionSlot, PrimaryLayer) {
    EXPECT_EQ(FunctionSlot(48, Layer::Primary, 0), 2);              // M3
    EXPECT_EQ(FunctionSlot(121, Layer::Primary, 0), 11);            // thumb key 2
    EXPECT_EQ(FunctionSlot(21, Layer::Primary, 0), 125);            // Scroll Lock
    EXPECT_FALSE(FunctionSlot(37, Layer::Primary, 0).has_value());  // "Q": plain usage
}

TEST(FunctionSlot, SecondaryLayer) {
    EXPECT_EQ(FunctionSlot(72, Layer::Secondary, 0), 8);    // M4
    EXPECT_EQ(FunctionSlot(120, Layer::Secondary, 0), 13);  // thumb key 1
    EXPECT_EQ(FunctionSlot(37, Layer::Secondary, 0), 32);   // "Q", position 16
    EXPECT_EQ(FunctionSlot(8, Layer::Secondary, 0), 137);   // F11
    EXPECT_EQ(FunctionSlot(33, Layer::Secondary, 0), 141);  // Pause
    // The normal key's slot follows the layout's list.
    EXPECT_EQ(FunctionSlot(56, Layer::Secondary, 0), 44);  // K29, position 28
    EXPECT_FALSE(FunctionSlot(56, Layer::Secondary, 12).has_value());
    EXPECT_EQ(FunctionSlot(32, Layer::Secondary, 12), 29);  // K14, position 13
    EXPECT_FALSE(FunctionSlot(32, Layer::Secondary, 0).has_value());
    EXPECT_EQ(FunctionSlot(102, Layer::Secondary, 13), 78);            // K151, first position
    EXPECT_FALSE(FunctionSlot(34, Layer::Secondary, 12).has_value());  // keypad on layout 12
    EXPECT_FALSE(FunctionSlot(1, Layer::Secondary, 0).has_value());    // ESC
    EXPECT_FALSE(FunctionSlot(130, Layer::Secondary, 0).has_value());
}

TEST(FunctionSlot, SlotDataLimits) {
    // Slot 141 carries a function entry but no per-slot data; function keys
    // never take a macro.
    const auto pause = FunctionSlot(33, Layer::Secondary, 0);
    ASSERT_TRUE(pause.has_value());
    EXPECT_FALSE(SlotHasData(*pause));
    EXPECT_TRUE(SlotHasData(*FunctionSlot(21, Layer::Secondary, 0)));  // Scroll Lock: 140
    for (int key : {2, 14, 3, 15, 4, 16, 5, 17, 6, 7, 8, 20, 9, 21, 33}) {
        for (Layer layer : {Layer::Primary, Layer::Secondary}) {
            EXPECT_FALSE(SlotHasMacro(*FunctionSlot(key, layer, 0))) << key;
        }
    }
    EXPECT_TRUE(SlotHasMacro(*FunctionSlot(107, Layer::Secondary, 0)));  // 111
}

}  // namespace
}  // namespace vyre
