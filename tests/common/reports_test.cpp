#include "common/reports.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "common/bytes.h"
#include "common/checksum.h"
#include "common/macro_image.h"

namespace vyre::report {
namespace {

std::vector<std::uint8_t> Filled(std::size_t n, std::uint8_t v) { return std::vector<std::uint8_t>(n, v); }

TEST(ReportFraming, OptionBitsChecksumExamples) {
    std::array<std::uint8_t, kOptionBitsLength> r{};
    r[kOptionBitsByte] = 0x3F;
    ASSERT_TRUE(FrameReport(kOptionBits, 2, r));
    EXPECT_EQ(r, (std::array<std::uint8_t, 6>{0x0C, 0x06, 0x02, 0x3F, 0x53, 0x00}));

    r[kOptionBitsByte] = 0x00;
    ASSERT_TRUE(FrameReport(kOptionBits, 2, r));
    EXPECT_EQ(r[4], 0x14);
    EXPECT_EQ(r[5], 0x00);
    EXPECT_EQ(VerifyReport(r), Verdict::kOk);
}

TEST(ReportFraming, EveryPerProfileReportGetsIdLengthProfileAndChecksum) {
    struct Case { std::uint8_t id; std::size_t length; std::size_t profileAt; };
    const Case cases[] = {
        {kKeyRemap, 125, 2},   {kFunctionKeys, 95, 2}, {kThumbKeys, 23, 2},
        {kProfileOptions, 8, 2}, {kFlexKeys, 294, 3},  {kOptionBits, 6, 2},
        {kLightSettings, 16, 2}, {kIllumination, 253, 2}, {kKeyLightBitmap, 20, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.id});
        std::vector<std::uint8_t> img = Filled(c.length, 0xAB);  // stale header and checksum
        ASSERT_TRUE(FrameReport(c.id, 4, img));
        EXPECT_EQ(img[0], c.id);
        if (c.id == kFlexKeys) {
            EXPECT_EQ(img[1], 0x26);
            EXPECT_EQ(img[2], 0x01);
        } else {
            EXPECT_EQ(img[1], c.length);
        }
        EXPECT_EQ(img[c.profileAt], 4);
        EXPECT_EQ(LoadLe16(&img[c.length - 2]), Checksum16(img.data(), c.length - 2));
        EXPECT_EQ(VerifyReport(img), Verdict::kOk);
        // The body stays as it was.
        EXPECT_EQ(img[c.profileAt + 1], 0xAB);
        EXPECT_EQ(img[c.length - 3], 0xAB);
    }
}

TEST(ReportFraming, GlobalReport14HasNoProfile) {
    std::array<std::uint8_t, kGlobal14Length> r{};
    r[2] = 7;
    ASSERT_TRUE(FrameReport(kGlobal14, 3, r));
    EXPECT_EQ(r[0], 0x14);
    EXPECT_EQ(r[1], 0x14);
    EXPECT_EQ(r[2], 7);  // not a profile byte
    EXPECT_EQ(LoadLe16(&r[18]), 0x14 + 0x14 + 7);
}

TEST(ReportFraming, RefusesWrongSizeProfileOrKind) {
    std::vector<std::uint8_t> shortImg(124, 0);
    EXPECT_FALSE(FrameReport(kKeyRemap, 0, shortImg));
    std::vector<std::uint8_t> img(125, 0x11);
    EXPECT_FALSE(FrameReport(kKeyRemap, 5, img));
    EXPECT_FALSE(FrameReport(kKeyRemap, -1, img));
    EXPECT_EQ(img, Filled(125, 0x11));  // untouched
    std::vector<std::uint8_t> macro(2002, 0);
    EXPECT_FALSE(FrameReport(kMacro, 0, macro));
    std::vector<std::uint8_t> flex(16, 0);
    EXPECT_FALSE(FrameReport(kFlexState, 0, flex));  // written as it stands
    EXPECT_FALSE(FrameReport(0x08, 0, flex));
}

TEST(ReportVerify, CatchesEachKindOfDamage) {
    std::vector<std::uint8_t> img(kFunctionKeysLength, 0);
    ASSERT_TRUE(FrameReport(kFunctionKeys, 1, img));
    EXPECT_EQ(VerifyReport(img), Verdict::kOk);
    auto bad = img; bad[10] ^= 1;
    EXPECT_EQ(VerifyReport(bad), Verdict::kBadChecksum);
    bad = img; bad[1] = 94;
    EXPECT_EQ(VerifyReport(bad), Verdict::kWrongLength);
    bad = img; bad[2] = 5;
    EXPECT_EQ(VerifyReport(bad), Verdict::kBadProfile);
    bad = img; bad.pop_back();
    EXPECT_EQ(VerifyReport(bad), Verdict::kWrongSize);
    bad = img; bad[0] = 0x08;
    EXPECT_EQ(VerifyReport(bad), Verdict::kUnknownId);
    EXPECT_EQ(VerifyReport(std::span<const std::uint8_t>{}), Verdict::kWrongSize);
    EXPECT_EQ(VerifyReport(ActiveProfileReport(3)), Verdict::kOk);
    EXPECT_EQ(VerifyReport(HostPresenceReport(true)), Verdict::kOk);
}

// ---- macro layout ----

MacroReportImage MacroWithEvents(std::size_t n) {
    MacroReportImage m{};
    m.id = kMacro;
    m.profile = 2;
    m.slot = 17;
    m.loopCount = 3;
    m.name.set("Combo");
    m.eventCount = static_cast<std::uint16_t>(n);
    for (std::size_t i = 0; i < n; ++i) {
        m.events[i].code = static_cast<std::uint8_t>(4 + i % 30);
        m.events[i].state = i % 2 ? 2 : 1;
        m.events[i].delay = static_cast<std::uint16_t>(i * 7);
    }
    return m;
}

// The sum of bytes 0..1999 of a framed image with its checksum place cleared:
// what the checksum must hold.
std::uint16_t SumWithoutChecksum(std::vector<std::uint8_t> bytes, std::size_t at) {
    bytes[at] = 0;
    bytes[at + 1] = 0;
    return Checksum16(bytes.data(), 2000);
}

TEST(MacroFraming, EmptyMacroHasLength82AndChecksumAt80) {
    MacroReportImage m = MacroWithEvents(0);
    m.tail[0] = 0x55;
    m.tail[1] = 0x66;
    auto bytes = BytesOf(m);
    FrameMacroReport(kMacro, bytes);
    EXPECT_EQ(LoadLe16(&bytes[1]), 82);
    const std::vector<std::uint8_t> framed(bytes.begin(), bytes.end());
    EXPECT_EQ(LoadLe16(&bytes[80]), SumWithoutChecksum(framed, 80));
    // The checksum covers the header only: id, length, profile, slot, names.
    EXPECT_EQ(LoadLe16(&bytes[80]), Checksum16(bytes.data(), 80));
    EXPECT_EQ(bytes[2000], 0);
    EXPECT_EQ(bytes[2001], 0);
    EXPECT_EQ(bytes[3], 2);   // header as built
    EXPECT_EQ(bytes[4], 17);
    EXPECT_EQ(VerifyReport(bytes), Verdict::kOk);
    EXPECT_EQ(MacroChecksumOffset(bytes), 80u);
}

TEST(MacroFraming, FullMacroPutsChecksumAt2000) {
    MacroReportImage m = MacroWithEvents(480);
    auto bytes = BytesOf(m);
    FrameMacroReport(kMacro, bytes);
    EXPECT_EQ(LoadLe16(&bytes[1]), 82 + 4 * 480);
    EXPECT_EQ(LoadLe16(&bytes[2000]), Checksum16(bytes.data(), 2000));
    EXPECT_EQ(m.events[479].delay, 479 * 7);  // last event intact
    EXPECT_EQ(VerifyReport(bytes), Verdict::kOk);
}

TEST(MacroFraming, ReframingAnImageGivesTheSameChecksum) {
    // A stored image already carries its checksum after the last event;
    // framing it again (say after a loop count change) must not count it.
    MacroReportImage m = MacroWithEvents(5);
    auto bytes = BytesOf(m);
    FrameMacroReport(kMacro, bytes);
    const auto once = std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    FrameMacroReport(kMacro, bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), once);

    // Stale events past the count are not part of the macro.
    m.events[7].code = 0x99;
    FrameMacroReport(kMacro, bytes);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), once);
}

TEST(MacroFraming, EventCountPastTheImageIsBounded) {
    MacroReportImage m = MacroWithEvents(480);
    m.eventCount = 0xFFFF;
    auto bytes = BytesOf(m);
    FrameMacroReport(kMacro, bytes);
    EXPECT_EQ(m.eventCount.get(), 480);
    EXPECT_EQ(LoadLe16(&bytes[1]), 82 + 4 * 480);
    EXPECT_EQ(VerifyReport(bytes), Verdict::kOk);

    m.eventCount = 481;
    EXPECT_EQ(VerifyReport(bytes), Verdict::kBadEventCount);
    EXPECT_EQ(MacroChecksumOffset(bytes), 2000u);
}

TEST(MacroFraming, VerifyRejectsBadSlotAndChecksum) {
    MacroReportImage m = MacroWithEvents(3);
    auto bytes = BytesOf(m);
    FrameMacroReport(kMacro, bytes);
    m.slot = 112;
    EXPECT_EQ(VerifyReport(bytes), Verdict::kBadSlot);
    m.slot = 111;
    EXPECT_EQ(VerifyReport(bytes), Verdict::kBadChecksum);
}

TEST(SequenceFraming, StoredKeepsChecksumAt2000WrittenCopyAfterLastEvent) {
    MacroReportImage s = MacroWithEvents(10);
    s.id = kEffectSequence;
    auto stored = BytesOf(s);
    StampStoredSequenceChecksum(stored);
    const std::uint16_t sum = Checksum16(stored.data(), 2000);
    EXPECT_EQ(LoadLe16(&stored[2000]), sum);
    EXPECT_EQ(LoadLe16(&stored[120]), 0);  // first unused event place untouched

    const auto written = SequenceReportForWrite(stored);
    EXPECT_EQ(written[0], kEffectSequence);
    EXPECT_EQ(LoadLe16(&written[1]), 82 + 40);
    const std::vector<std::uint8_t> copy(written.begin(), written.end());
    EXPECT_EQ(LoadLe16(&written[120]), SumWithoutChecksum(copy, 120));
    EXPECT_EQ(written[2000], 0);
    EXPECT_EQ(written[2001], 0);
    EXPECT_EQ(VerifyReport(written), Verdict::kOk);
    EXPECT_EQ(LoadLe16(&stored[2000]), sum);  // the stored image is unchanged
}

// ---- requests ----

TEST(Requests, EveryCodeMapsToItsAnswerAndBack) {
    for (int slot = 0; slot < 112; ++slot) {
        auto a = AnswerToRequest(static_cast<std::uint8_t>(slot));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->reportId, kMacro);
        EXPECT_EQ(a->length, 2002);
        EXPECT_EQ(a->slot, slot);
        EXPECT_EQ(MacroRequest(slot), slot);
    }
    EXPECT_FALSE(AnswerToRequest(0x70));
    EXPECT_FALSE(MacroRequest(112));

    const std::pair<std::uint8_t, std::uint8_t> simple[] = {
        {0xA0, 0x06}, {0xA1, 0x07}, {0xA3, 0x09}, {0xA5, 0x0B},
        {0xB0, 0x0C}, {0xB1, 0x0D}, {0xB2, 0x0A}, {0xE0, 0x19}};
    for (auto [code, id] : simple) {
        auto a = AnswerToRequest(code);
        ASSERT_TRUE(a);
        EXPECT_EQ(a->reportId, id);
        EXPECT_EQ(a->length, FindReport(id)->length);
        EXPECT_EQ(RequestCodeFor(id), code);
    }
    EXPECT_FALSE(AnswerToRequest(0xA2));
    EXPECT_FALSE(AnswerToRequest(0xA4));

    for (int mode = 0; mode < 2; ++mode) {
        for (int layer = 0; layer < 11; ++layer) {
            auto code = IlluminationRequest(mode, layer);
            ASSERT_TRUE(code);
            EXPECT_EQ(*code, (mode ? 0xD0 : 0xC0) + layer);
            auto a = AnswerToRequest(*code);
            ASSERT_TRUE(a);
            EXPECT_EQ(a->reportId, kIllumination);
            EXPECT_EQ(a->mode, mode);
            EXPECT_EQ(a->layer, layer);
        }
    }
    EXPECT_FALSE(AnswerToRequest(0xCB));
    EXPECT_FALSE(AnswerToRequest(0xDB));
    EXPECT_FALSE(IlluminationRequest(0, 11));
    EXPECT_FALSE(IlluminationRequest(2, 0));
    EXPECT_EQ(RequestReport(3, 0xA5), (std::array<std::uint8_t, 3>{0x04, 3, 0xA5}));
}

TEST(Requests, IlluminationModeZeroUsesThreeLayers) {
    int used = 0;
    for (int layer = 0; layer < 11; ++layer) used += IlluminationLayerUsed(0, layer);
    EXPECT_EQ(used, 3);
    EXPECT_TRUE(IlluminationLayerUsed(0, 9));
    EXPECT_FALSE(IlluminationLayerUsed(0, 1));
    EXPECT_TRUE(IlluminationLayerUsed(1, 5));
    EXPECT_FALSE(IlluminationLayerUsed(1, 11));
}

TEST(Requests, ReadBufferPreparation) {
    std::vector<std::uint8_t> buf(2002, 0x77);
    ASSERT_TRUE(PrepareReadBuffer(kMacro, buf));
    EXPECT_EQ(buf[0], 0x0E);
    EXPECT_EQ(std::accumulate(buf.begin() + 1, buf.end(), 0), 0);

    std::vector<std::uint8_t> flex(294, 0);
    ASSERT_TRUE(PrepareReadBuffer(kFlexKeys, flex));
    EXPECT_EQ(flex[0], 0x0B);
    EXPECT_EQ(flex[1], 0x26);
    EXPECT_EQ(flex[2], 0x01);

    std::vector<std::uint8_t> remap(125, 0);
    ASSERT_TRUE(PrepareReadBuffer(kKeyRemap, remap));
    EXPECT_EQ(remap[1], 0);  // only the id

    std::vector<std::uint8_t> tooShort(252, 0);
    EXPECT_FALSE(PrepareReadBuffer(kIllumination, tooShort));
}

// ---- events ----

TEST(InputReport, DecodesFieldsValueTypeWordAndCount) {
    const std::uint8_t raw[] = {0x03, 0x05, 0xFA, 0x34, 0x12, 0xEE};
    auto ev = DecodeInputReport(raw);
    ASSERT_TRUE(ev);
    EXPECT_EQ(ev->index, 0x05);
    EXPECT_EQ(ev->type, 0xFA);
    EXPECT_EQ(ev->data, 0x34);
    EXPECT_EQ(ev->action, 0x12);
    EXPECT_EQ(ev->value(), 0x1234FA05u);
    EXPECT_EQ(ev->typeWord(), 0xFA05);
    EXPECT_EQ(ev->count(), 0x1234);
    EXPECT_EQ(KeyboardEvent::FromValue(ev->value()).value(), ev->value());

    const std::uint8_t profile[] = {0x03, 0x00, 0x01, 0x02, 0x00};
    EXPECT_EQ(DecodeInputReport(profile)->typeWord(), 0x0100);

    const std::uint8_t shortReport[] = {0x03, 0x00, 0x01, 0x02};
    EXPECT_FALSE(DecodeInputReport(shortReport));
    const std::uint8_t otherId[] = {0x04, 0x00, 0x01, 0x02, 0x00};
    EXPECT_FALSE(DecodeInputReport(otherId));
}

// ---- defaults ----

TEST(Defaults, FunctionAndThumbKeys) {
    std::array<std::uint8_t, 120> usages{};
    std::vector<std::uint8_t> fk(95, 0);
    ASSERT_TRUE(MakeDefaultReport(kFunctionKeys, 0, fk, usages));
    for (int n = 0; n < 15; ++n) EXPECT_EQ(fk[3 + 3 * n], 58 + n);
    EXPECT_EQ(fk[3 + 3 * 15], 210);
    EXPECT_EQ(fk[3 + 3 * 26], 167);
    EXPECT_EQ(fk[3 + 3 * 29], 0);
    EXPECT_EQ(VerifyReport(fk), Verdict::kOk);

    FillDefaultFunctionKeys(std::span<std::uint8_t, 95>(fk.data(), 95), kPauseSecondaryAfterTimerDeletion);
    EXPECT_EQ(fk[3 + 3 * 29], 130);

    std::vector<std::uint8_t> tk(23, 0xEE);
    ASSERT_TRUE(MakeDefaultReport(kThumbKeys, 1, tk, usages));
    const std::uint8_t expect[] = {177, 221, 176, 57, 203, 192};
    for (int n = 0; n < 6; ++n) {
        EXPECT_EQ(tk[3 + 3 * n], expect[n]);
        EXPECT_EQ(tk[4 + 3 * n], 0);
    }
    EXPECT_EQ(tk[2], 1);
}

TEST(Defaults, OptionsLightsAndRemap) {
    std::array<std::uint8_t, 120> usages;
    for (int i = 0; i < 120; ++i) usages[i] = static_cast<std::uint8_t>(i + 1);
    std::vector<std::uint8_t> r(125, 0);
    ASSERT_TRUE(MakeDefaultReport(kKeyRemap, 3, r, usages));
    EXPECT_EQ(r[3], 1);
    EXPECT_EQ(r[122], 120);
    EXPECT_EQ(VerifyReport(r), Verdict::kOk);

    std::vector<std::uint8_t> po(8, 0), ob(6, 0), ls(16, 0), flex(294, 0x33);
    ASSERT_TRUE(MakeDefaultReport(kProfileOptions, 0, po, usages));
    EXPECT_EQ(po[3], 0xFF);
    EXPECT_EQ(po[4], 0xF1);
    ASSERT_TRUE(MakeDefaultReport(kOptionBits, 2, ob, usages));
    EXPECT_EQ(ob, (std::vector<std::uint8_t>{0x0C, 0x06, 0x02, 0x3F, 0x53, 0x00}));
    ASSERT_TRUE(MakeDefaultReport(kLightSettings, 0, ls, usages));
    EXPECT_EQ(ls[3], 3);
    EXPECT_EQ(ls[4], 1);
    EXPECT_EQ(ls[5], 0x0F);
    ASSERT_TRUE(MakeDefaultReport(kFlexKeys, 0, flex, usages));
    EXPECT_EQ(flex[4], 0);
    EXPECT_EQ(VerifyReport(flex), Verdict::kOk);

    std::vector<std::uint8_t> wrong(7, 0);
    EXPECT_FALSE(MakeDefaultReport(kOptionBits, 0, wrong, usages));
    std::vector<std::uint8_t> mac(2002, 0);
    EXPECT_FALSE(MakeDefaultReport(kMacro, 0, mac, usages));
}

TEST(Catalogue, IdsAscendAndLengthFieldsFit) {
    std::uint8_t last = 0;
    for (const ReportInfo& info : Catalogue()) {
        EXPECT_GT(info.id, last);
        last = info.id;
        if (info.lengthBytes == 1) {
            EXPECT_LE(info.length, 255);
        }
        if (info.profileOffset >= 0) {
            EXPECT_EQ(info.profileOffset, info.lengthBytes + 1);
        }
        if (info.length > 255) {
            EXPECT_EQ(info.lengthBytes, 2);
        }
    }
    EXPECT_EQ(FindReport(0x0B)->lengthBytes, 2);
    EXPECT_EQ(FindReport(0x19)->checksum, ChecksumPlacement::kAfterLastEvent);
    EXPECT_EQ(FindReport(0x16)->checksum, ChecksumPlacement::kNone);
    EXPECT_EQ(FindReport(0x08), nullptr);
}

}  // namespace
}  // namespace vyre::report
