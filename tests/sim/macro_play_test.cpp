// The emulator plays the macro of a key's slot when the key is pressed, as
// the keyboard does, and shows it in its trace.

#include <gtest/gtest.h>

#include <mutex>

#include "common/key_functions.h"
#include "common/key_slots.h"
#include "sim/keyboard.h"

namespace vyre::sim {
namespace {

TEST(MacroPlayback, AKeyWithAMacroPlaysItsSlotAndOthersDoNot) {
    Keyboard kb;
    std::vector<std::string> trace;
    kb.SetTraceSink([&](const std::string& line) { trace.push_back(line); });
    const int key = 30;  // a normal key: its macro goes on the Flexlayer
    const auto slot = FunctionSlot(key, Layer::Secondary, 0);
    ASSERT_TRUE(slot && *slot >= 16 && *slot < 112);
    EXPECT_FALSE(kb.PressKey(key, 1));  // no macro on it yet

    auto flex = *kb.Report(0x0B, 0, 0);
    flex[4 + 3 * (*slot - 16)] = fncode::kMacro;  // after id, two length bytes, profile
    ASSERT_TRUE(kb.SetReport(0x0B, 0, 0, flex));
    auto macro = *kb.Report(0x0E, 0, *slot);
    macro[5] = 2;   // loops
    macro[78] = 2;  // two events
    const std::uint8_t events[8] = {0x04, 1, 30, 0, 0x04, 2, 0, 0};
    std::copy(events, events + 8, macro.begin() + 80);
    ASSERT_TRUE(kb.SetReport(0x0E, 0, *slot, macro));

    trace.clear();
    EXPECT_TRUE(kb.PressKey(key, 1));
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find(" PLAY "), std::string::npos);
    char expected[64];
    std::snprintf(expected, sizeof expected, "PLAY %02x 02 04 01 1e 00 04 02 00 00", *slot);
    EXPECT_NE(trace[0].find(expected), std::string::npos) << trace[0];
    EXPECT_FALSE(kb.PressKey(key, 0));  // the primary layer holds a plain usage
    kb.Unplug();
    EXPECT_FALSE(kb.PressKey(key, 1));
}

}  // namespace
}  // namespace vyre::sim
