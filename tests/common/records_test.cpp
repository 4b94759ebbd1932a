#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "common/bytes.h"
#include "common/fixed_text.h"
#include "common/hidmsg.h"
#include "common/link_codes.h"
#include "common/macro_image.h"
#include "common/stored_name.h"
#include "common/talk_records.h"

namespace vyre {
namespace {

TEST(Bytes, LittleEndianHelpersAndFields) {
    std::uint8_t b[4] = {};
    StoreLe32(b, 0x89ABCDEF);
    EXPECT_EQ(b[0], 0xEF);
    EXPECT_EQ(b[3], 0x89);
    EXPECT_EQ(LoadLe32(b), 0x89ABCDEFu);
    EXPECT_EQ(LoadLeI32(b), static_cast<std::int32_t>(0x89ABCDEF));
    StoreLe16(b, 0x0126);
    EXPECT_EQ(b[0], 0x26);
    EXPECT_EQ(b[1], 0x01);

    LeI32 v{};
    v = -2;
    EXPECT_EQ(v.bytes[0], 0xFE);
    EXPECT_EQ(v.bytes[3], 0xFF);
    EXPECT_EQ(static_cast<std::int32_t>(v), -2);
    LeU16 u = 0xBEEF;
    EXPECT_EQ(u.bytes[0], 0xEF);
}

TEST(FixedText, ReadsAreBoundedAndWritesPad) {
    FixedText<4> t;
    std::memset(t.bytes, 'x', 4);  // no terminator
    EXPECT_EQ(t.str(), "xxxx");
    t.set("abcdef");
    EXPECT_EQ(t.str(), "abc");
    EXPECT_EQ(t.bytes[3], 0);
    t.set_full("abcdef");
    EXPECT_EQ(t.str(), "abcd");
    t.set("");
    EXPECT_TRUE(t.empty());

    FixedText16<3> w;
    std::memset(w.bytes, 0x41, sizeof w.bytes);
    EXPECT_EQ(w.str().size(), 3u);
    w.set(u"\u4e2dxyz");
    EXPECT_EQ(w.bytes[0], 0x2D);
    EXPECT_EQ(w.bytes[1], 0x4E);
    EXPECT_EQ(w.str(), u"\u4e2dx");
    EXPECT_EQ(w.unit(2), 0);
}

TEST(StoredName, BlanksAndTheCutAtACharacterBoundaryMakeOneName) {
    EXPECT_EQ(StoredName(" dup \t", kStoredSetNameBytes), "dup");
    // 13 characters of 3 bytes fit in 39: the 14th is cut whole.
    std::string cjk;
    for (int i = 0; i < 14; ++i) cjk += "\xE6\xBC\xA2";
    EXPECT_EQ(StoredName(cjk, kStoredSetNameBytes).size(), 39u);
    const auto exact = [](std::string_view a, std::string_view b) { return a == b; };
    EXPECT_TRUE(SameStoredName(cjk, cjk.substr(0, 39) + "\xE5\xAD\x97", kStoredSetNameBytes, exact));
    EXPECT_TRUE(SameStoredName("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "ABCDEFGHIJKLMNOPQRSTUVWX", kStoredMacroNameBytes, exact));
    EXPECT_FALSE(SameStoredName("dup", "dup2", kStoredSetNameBytes, exact));
}

TEST(HidmsgRecords, TimerRoundTripAndKeyCopyFields) {
    HIDMSG::_STimerSettingData t{};
    t.index = 7;
    t.name.set("Pizza");
    t.seconds = 900;
    auto bytes = BytesOf(t);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(bytes[4], 'P');
    EXPECT_EQ(bytes[28], 0x84);  // 900 = 0x0384
    EXPECT_EQ(bytes[29], 0x03);
    for (int i = 32; i < 37; ++i) EXPECT_EQ(bytes[i], 0);

    t.set_running(true);
    t.set_remaining(0x01020304);
    EXPECT_EQ(bytes[32], 1);
    EXPECT_EQ(bytes[33], 4);
    EXPECT_EQ(bytes[36], 1);

    std::array<std::uint8_t, 37> wire;
    std::copy(bytes.begin(), bytes.end(), wire.begin());
    auto back = RecordFromBytes<HIDMSG::_STimerSettingData>(wire);
    EXPECT_EQ(back.index.get(), 7);
    EXPECT_EQ(back.name.str(), "Pizza");
    EXPECT_EQ(back.seconds.get(), 900);
    EXPECT_TRUE(back.running());
    EXPECT_EQ(back.remaining(), 0x01020304);
}

TEST(HidmsgRecords, MacroSetAndMacroRoundTrip) {
    HIDMSG::_SMacroGroupData s{};
    s.setNumber = -1;
    s.macroCount = 3;
    s.change = HIDMSG::kChangeDelete;
    s.name.set("Shooter");
    auto sb = BytesOf(s);
    EXPECT_EQ(sb[0], 0xFF);
    EXPECT_EQ(sb[3], 0xFF);
    EXPECT_EQ(sb[4], 3);
    EXPECT_EQ(sb[8], 3);
    EXPECT_EQ(sb[9], 'S');
    std::array<std::uint8_t, 49> sw;
    std::copy(sb.begin(), sb.end(), sw.begin());
    auto s2 = RecordFromBytes<HIDMSG::_SMacroGroupData>(sw);
    EXPECT_EQ(s2.setNumber.get(), -1);
    EXPECT_EQ(s2.name.str(), "Shooter");

    HIDMSG::_SMacroDefaultData m{};
    m.setNumber = 2;
    m.macroNumber = 5;
    m.change = HIDMSG::kChangeAdd;
    m.loopCount = 4;
    m.set_sendDefaultAction(1);
    m.setName.set("Shooter");
    m.name.set_full("TwentyFourCharactersLong");
    m.eventCount = 2;
    m.events[0] = {0x04, MacroEvent::kDown, 0x1234};
    m.events[1] = {0xF0, MacroEvent::kUp, 5};
    auto mb = BytesOf(m);
    EXPECT_EQ(mb[4], 5);
    EXPECT_EQ(mb[9], 4);
    EXPECT_EQ(mb[10], 1);
    EXPECT_EQ(mb[18], 'S');
    EXPECT_EQ(mb[58], 'T');
    EXPECT_EQ(mb[81], 'g');
    EXPECT_EQ(mb[82], 2);
    EXPECT_EQ(mb[84], 0x04);
    EXPECT_EQ(mb[85], 1);
    EXPECT_EQ(mb[86], 0x34);
    EXPECT_EQ(mb[87], 0x12);
    EXPECT_EQ(mb[88], 0xF0);
    std::vector<std::uint8_t> wire(mb.begin(), mb.end());
    auto m2 = RecordFromBytes<HIDMSG::_SMacroDefaultData>(std::span<const std::uint8_t, 2004>(wire.data(), 2004));
    EXPECT_EQ(m2.name.str(), "TwentyFourCharactersLong");
    EXPECT_EQ(m2.events[0].delay.get(), 0x1234);
    EXPECT_EQ(m2.usedEvents(), 2u);
    m2.eventCount = 1000;
    EXPECT_EQ(m2.usedEvents(), 480u);
}

TEST(MacroImage, RecordToImageAndBack) {
    HIDMSG::_SMacroDefaultData m{};
    m.loopCount = 9;
    m.options[0] = 1;
    m.options[7] = 0x77;
    m.setName.set("Set");
    m.name.set("Mac");
    m.eventCount = 3;
    for (int i = 0; i < 3; ++i) m.events[i] = {static_cast<std::uint8_t>(10 + i), 1, 100};

    MacroReportImage img{};
    img.tail[0] = 0xAA;
    MacroImageFromRecord(m, 2, 40, img);
    auto b = BytesOf(img);
    EXPECT_EQ(b[0], 0x0E);
    EXPECT_EQ(LoadLe16(&b[1]), 82 + 12);
    EXPECT_EQ(b[3], 2);
    EXPECT_EQ(b[4], 40);
    EXPECT_EQ(b[5], 9);
    EXPECT_EQ(b[6], 1);
    EXPECT_EQ(b[13], 0x77);
    EXPECT_EQ(b[14], 'S');
    EXPECT_EQ(b[54], 'M');
    EXPECT_EQ(b[78], 3);
    EXPECT_EQ(b[80], 10);
    EXPECT_EQ(b[2000], 0xAA);  // left as it was

    img.events[5].code = 0x55;  // past the count: not taken over
    auto r = RecordFromMacroImage(img, 4, "Macro Live");
    EXPECT_EQ(r.setNumber.get(), 4);
    EXPECT_EQ(r.setName.str(), "Macro Live");
    EXPECT_EQ(r.name.str(), "Mac");
    EXPECT_EQ(r.loopCount, 9);
    EXPECT_EQ(r.options[7], 0x77);
    EXPECT_EQ(r.eventCount.get(), 3);
    EXPECT_EQ(r.events[2].code, 12);
    EXPECT_EQ(r.events[5].code, 0);
}

TEST(MacroImage, ALightMacroBecomesTheProfilesEffectSequence) {
    HIDMSG::_SMacroDefaultData m{};
    m.loopCount = 7;
    m.options[0] = 1;
    m.setName.set("Lights");
    m.name.set("Wave");
    m.eventCount = 2;
    m.events[0] = {0x04, 1, 250};
    m.events[1] = {0x04, 2, 250};
    MacroReportImage e{};
    e.tail[1] = 0xEE;
    EffectImageFromLightMacro(m, 3, e);
    auto b = BytesOf(e);
    EXPECT_EQ(b[0], 25);
    EXPECT_EQ(LoadLe16(&b[1]), 2 * 4 + 82);
    EXPECT_EQ(b[3], 3);
    EXPECT_EQ(b[4], 0);
    EXPECT_EQ(b[5], 1);   // played once, whatever the macro's own loop count
    EXPECT_EQ(b[6], 0);   // no options
    EXPECT_EQ(b[14], 'L');
    EXPECT_EQ(b[54], 'W');
    EXPECT_EQ(LoadLe16(&b[78]), 2);
    EXPECT_EQ(b[80], 0x04);
    EXPECT_EQ(b[85], 2);
    EXPECT_EQ(b[2001], 0);  // the whole image starts from zero

    m.eventCount = 60000;  // a damaged count never reaches past the image
    EffectImageFromLightMacro(m, 3, e);
    EXPECT_EQ(e.eventCount.get(), 480);
    EXPECT_EQ(e.usedLength.get(), 480 * 4 + 82);
}

TEST(TalkRecords, DeviceAndPresentRecordsRoundTrip) {
    TalkDeviceRecord t{};
    t.key = 0xCAFEBABE;
    t.name.set(u"A very long mouse name exceeding twenty");
    t.dpiLevels[0] = 800;
    t.dpiLevels[4] = -1;
    auto b = BytesOf(t);
    EXPECT_EQ(b[0], 0xBE);
    EXPECT_EQ(b[3], 0xCA);
    EXPECT_EQ(b[4], 'A');
    EXPECT_EQ(b[4 + 38], 0);  // 20th unit is the terminator
    EXPECT_EQ(b[43], 0);
    EXPECT_EQ(b[44], 0x20);   // 800 = 0x0320
    EXPECT_EQ(b[45], 0x03);
    EXPECT_EQ(b[63], 0xFF);
    std::array<std::uint8_t, 64> w;
    std::copy(b.begin(), b.end(), w.begin());
    auto t2 = RecordFromBytes<TalkDeviceRecord>(w);
    EXPECT_EQ(t2.key.get(), 0xCAFEBABEu);
    EXPECT_EQ(t2.name.str().size(), 19u);
    EXPECT_EQ(t2.dpiLevels[4].get(), -1);

    DevicePresentRecord d{};
    d.vendorId = 0x1234;
    d.productId = 0x5678;
    d.controlWindow = 0x00ABCDEF;
    auto db = BytesOf(d);
    EXPECT_EQ(db[0], 0x34);
    EXPECT_EQ(db[2], 0x78);
    EXPECT_EQ(db[4], 0xEF);
    EXPECT_EQ(db[7], 0x00);
    for (int i = 8; i < 28; ++i) EXPECT_EQ(db[i], 0);
}

TEST(LinkCodes, EnvelopeAndSizes) {
    EXPECT_EQ(link::MakeDwData(12, link::kTagCommand), 0x000C0407u);
    EXPECT_EQ(link::CodeOf(0x00670408), 103);
    EXPECT_EQ(link::TagOf(0x00670408), 1032);
    EXPECT_EQ(link::kMsgExternalControl, 2025u);
    EXPECT_EQ(link::kCommandBlockSize, 1408598u);
    std::size_t largest = 0;
    for (const auto& b : link::kBlocks) largest = std::max(largest, b.size);
    EXPECT_EQ(largest, link::kCommandPayloadMax);
    for (std::uint16_t code : link::kFullUploadOrder) EXPECT_NE(link::BlockSize(code), 0u) << code;
    EXPECT_EQ(std::size(link::kFullUploadOrder), 16u);
    for (std::uint16_t code : link::kRegistrationDumpOrder) {
        EXPECT_TRUE(link::BlockSize(code) != 0 || link::ListRecordSize(code) != 0) << code;
    }
    EXPECT_EQ(link::ListRecordSize(21), sizeof(HIDMSG::_STimerSettingData));
    EXPECT_EQ(link::ListRecordSize(25), sizeof(HIDMSG::_SMacroDefaultData));
    EXPECT_EQ(link::ListRecordSize(26), sizeof(HIDMSG::_SMacroGroupData));
    EXPECT_EQ(link::ListRecordSize(104), sizeof(TalkDeviceRecord));
    EXPECT_EQ(link::CommandRecordSize(35), 37u);
    EXPECT_EQ(link::CommandRecordSize(32), 2004u);
    EXPECT_EQ(link::BlockSize(6), 0u);
    EXPECT_EQ(link::notice::TrophyParam(16), (16 << 16) | 3);
}

}  // namespace
}  // namespace vyre
