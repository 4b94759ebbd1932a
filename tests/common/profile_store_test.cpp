#include "common/profile_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "common/link_codes.h"
#include "common/store_blocks.h"

namespace vyre {
namespace {

bool AllZero(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

template <typename T>
std::span<const std::uint8_t> Bytes(const T& field) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&field), sizeof field);
}

std::size_t OffsetInStore(const ProfileStoreBlocks& b, std::span<const std::uint8_t> part) {
    return static_cast<std::size_t>(part.data() - reinterpret_cast<const std::uint8_t*>(&b));
}

TEST(ProfileStore, StartsZeroOnTheHeap) {
    auto store = NewProfileStore();
    ASSERT_TRUE(store);
    EXPECT_TRUE(AllZero(Bytes(store->blocks())));
    EXPECT_TRUE(store->macros.empty());
    EXPECT_EQ(store->currentProfile(), 0);
}

TEST(ProfileStore, BlockTableCoversTheStoreExactlyOnce) {
    auto store = NewProfileStore();
    const ProfileStoreBlocks& b = store->blocks();
    std::size_t total = 0;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    for (const link::BlockInfo& info : link::kBlocks) {
        SCOPED_TRACE(info.code);
        auto part = StoreBlock(b, info.code);
        EXPECT_EQ(part.size(), info.size);
        EXPECT_EQ(link::BlockSize(info.code), info.size);
        if (info.code == link::block::kStatistics) continue;  // inside block 12
        ranges.emplace_back(OffsetInStore(b, part), part.size());
        total += part.size();
    }
    // The blocks without a code (live light report, key light bitmaps) make up the rest.
    total += sizeof b.liveLightReport + sizeof b.keyLightBitmaps;
    EXPECT_EQ(total, 3041433u);
    std::sort(ranges.begin(), ranges.end());
    for (std::size_t i = 1; i < ranges.size(); ++i) {
        EXPECT_LE(ranges[i - 1].first + ranges[i - 1].second, ranges[i].first);
    }
    EXPECT_TRUE(StoreBlock(b, 6).empty());
    EXPECT_TRUE(StoreBlock(b, 21).empty());
    EXPECT_EQ(OffsetInStore(b, StoreBlock(b, 14)) - OffsetInStore(b, StoreBlock(b, 12)),
              link::kStatisticsInHostSettings);
}

TEST(ProfileStore, AccessorsReachTheDocumentedPlaces) {
    auto store = NewProfileStore();
    ProfileStoreBlocks& b = store->blocks();
    const auto* base = reinterpret_cast<const std::uint8_t*>(&b);
    auto at = [&](const void* p) { return static_cast<const std::uint8_t*>(p) - base; };
    const std::ptrdiff_t macros = OffsetInStore(b, StoreBlock(b, 11));
    EXPECT_EQ(at(&b.macroImage(2, 5)), macros + (2 * 112 + 5) * 2002);
    const std::ptrdiff_t lights = OffsetInStore(b, StoreBlock(b, 33));
    EXPECT_EQ(at(&b.lightMacro(4, 140)), lights + (4 * 141 + 140) * 1998);
    const std::ptrdiff_t illum = OffsetInStore(b, StoreBlock(b, 34));
    EXPECT_EQ(at(b.illumination(3, 1, 7).data()), illum + ((3 * 2 + 1) * 11 + 7) * 253);
    const std::ptrdiff_t host = OffsetInStore(b, StoreBlock(b, 12));
    EXPECT_EQ(at(&b.keyTimer(1, 10)), host + 12085 + (141 + 10) * 37);
    EXPECT_EQ(at(&b.launchPath(1, 10)), host + 38170 + (141 + 10) * 612);
    EXPECT_EQ(at(&b.hostRecord(3)), host + 3 * 116);
    EXPECT_EQ(at(&b.hostSettingsBlock.talkCommands[1][8]), host + 580 + 765 + 680);
    EXPECT_EQ(at(&b.hostSettingsBlock.programLinks[2][1]), host + 4405 + 2 * 1536 + 512);
    EXPECT_EQ(at(&b.hostSettingsBlock.lightGroupFlags[1][1][10][0]),
              host + 469889 + ((1 * 2 + 1) * 11 + 10) * 9);
}

TEST(ProfileStore, CurrentProfileStaysInRange) {
    auto store = NewProfileStore();
    EXPECT_TRUE(store->setCurrentProfile(4));
    EXPECT_EQ(store->activeProfileReport[2], 4);
    EXPECT_FALSE(store->setCurrentProfile(5));
    EXPECT_FALSE(store->setCurrentProfile(-1));
    EXPECT_EQ(store->currentProfile(), 4);
    store->activeProfileReport[2] = 9;  // as a damaged block could carry it
    EXPECT_EQ(store->currentProfile(), 0);
}

TEST(ProfileStore, HostRecordFieldsAreLittleEndian) {
    auto store = NewProfileStore();
    ProfileHostRecord& rec = store->hostRecord(1);
    rec.name.set(u"Gaming");
    rec.repeatRate = 31;
    rec.soundSettings.sounds = SoundSettings::kProfileSound;
    rec.soundSettings.volumeStep = -3;
    rec.player = 0x01020304;
    auto host = StoreBlock(store->blocks(), 12);
    const std::uint8_t* r = host.data() + 116;
    EXPECT_EQ(r[0], 'G');
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[104], 31);
    EXPECT_EQ(r[110], 2);
    EXPECT_EQ(r[111], 0xFD);
    EXPECT_EQ(rec.soundSettings.value(), 0xFD020000u);
    EXPECT_EQ(r[112], 4);
    EXPECT_EQ(r[115], 1);
    EXPECT_EQ(rec.name.str(), u"Gaming");

    TalkCommandEntry& talk = store->hostSettingsBlock.talkCommands[0][8];
    talk.set_deviceKey(0xAABBCCDD);
    EXPECT_EQ(talk.value0.get(), 0xCCDD);
    EXPECT_EQ(talk.value1.get(), 0xAABB);
    EXPECT_EQ(talk.deviceKey(), 0xAABBCCDDu);
}

TEST(ProfileStore, ClearKeepsStatisticsAndTheUntouchedBlocks) {
    auto store = NewProfileStore();
    ProfileStoreBlocks& b = store->blocks();
    // Fill every block, then clear.
    std::memset(static_cast<void*>(&b), 0x5A, sizeof b);
    store->macros.resize(2);
    ClearStore(*store);

    for (std::uint16_t code : {3, 4, 5, 7, 8, 9, 10, 38, 40, 41, 11, 33}) {
        SCOPED_TRACE(code);
        EXPECT_TRUE(AllZero(StoreBlock(b, code)));
    }
    EXPECT_TRUE(AllZero(Bytes(b.liveLightReport)));
    auto host = StoreBlock(b, 12);
    EXPECT_TRUE(AllZero(host.first(469630)));
    EXPECT_TRUE(AllZero(host.subspan(469630 + 248)));
    auto stats = StoreBlock(b, 14);
    EXPECT_TRUE(std::all_of(stats.begin(), stats.end(), [](auto v) { return v == 0x5A; }));
    for (std::uint16_t code : {2, 42, 34, 52}) {
        auto kept = StoreBlock(b, code);
        EXPECT_TRUE(std::all_of(kept.begin(), kept.end(), [](auto v) { return v == 0x5A; })) << code;
    }
    EXPECT_EQ(b.keyLightBitmaps[4][19], 0x5A);
    EXPECT_EQ(store->macros.size(), 2u);
}

TEST(ProfileStore, ResetToDefaults) {
    auto store = NewProfileStore();
    ProfileStoreBlocks& b = store->blocks();
    std::memset(static_cast<void*>(&b), 0x5A, sizeof b);
    std::array<std::uint8_t, 120> usages;
    for (int i = 0; i < 120; ++i) usages[i] = static_cast<std::uint8_t>(200 - i);
    ResetStoreToDefaults(*store, usages);

    HostSettingsBlock& host = b.hostSettingsBlock;
    EXPECT_EQ(host.windowsProfile.get(), 5);
    EXPECT_EQ(host.startPage.get(), 0);
    EXPECT_TRUE(AllZero(Bytes(host.programLinks)));
    EXPECT_TRUE(AllZero(Bytes(host.keyLaunchPaths)));
    EXPECT_TRUE(AllZero(Bytes(host.keyTimers)));
    EXPECT_EQ(host.modelFlag, 0x5A);            // the host block is kept otherwise
    EXPECT_EQ(host.statistics.trophyPoints.get(), 0x5A5A5A5A);
    EXPECT_EQ(host.talkCommands[2][3].function, 0x5A);
    EXPECT_EQ(b.deviceInfoReport[2], 0x5A);
    for (int p = 0; p < 5; ++p) {
        SCOPED_TRACE(p);
        const ProfileHostRecord& rec = b.hostRecord(p);
        EXPECT_EQ(rec.name.str(), std::u16string(u"Default") + char16_t(u'1' + p));
        EXPECT_EQ(rec.repeatDelay.get(), 2);
        EXPECT_EQ(rec.repeatRate.get(), 31);
        EXPECT_EQ(rec.soundSettings.unused, 0x5A);
        EXPECT_EQ(rec.soundSettings.volumeDisplay, 0);
        EXPECT_EQ(rec.soundSettings.sounds, 0);
        EXPECT_EQ(rec.soundSettings.volumeStep, 2);
        EXPECT_EQ(rec.player.get(), 0);
        EXPECT_EQ(b.keyRemapReports[p][0], 0);  // header left for framing
        EXPECT_EQ(b.keyRemapReports[p][3], 200);
        EXPECT_EQ(b.keyRemapReports[p][122], 81);
        EXPECT_EQ(b.lightReports[p][3], 3);
        EXPECT_EQ(b.lightOptionReports[p][3], 0x3F);
        EXPECT_EQ(b.profileOptionReports[p][3], 0xFF);
        EXPECT_EQ(b.profileOptionReports[p][4], 0xF1);
        EXPECT_EQ(b.thumbKeyReports[p][3], 177);
        EXPECT_EQ(b.functionKeyReports[p][3 + 3 * 29], 0);
        EXPECT_TRUE(AllZero(Bytes(b.flexKeyReports[p])));
        for (int mode = 0; mode < 2; ++mode) {
            // Registry form of the flags: 412 for layers 0..8, 132 for 9, 16 for 10.
            auto word = [&](int layer) {
                int w = 0;
                for (int i = 0; i < 9; ++i) w |= host.lightGroupFlags[p][mode][layer][i] << i;
                return w;
            };
            EXPECT_EQ(word(0), 412);
            EXPECT_EQ(word(8), 412);
            EXPECT_EQ(word(9), 132);
            EXPECT_EQ(word(10), 16);
        }
    }
}

TEST(StoreBlocks, ChangedPartsComparesOnlyTheComparedBytes) {
    auto store = NewProfileStore();
    auto stored = StoreBlock(store->blocks(), link::block::kMacros);
    std::vector<std::uint8_t> received(stored.begin(), stored.end());
    EXPECT_TRUE(ChangedParts(11, stored, received).empty());
    received[(3 * 112 + 7) * 2002 + 2000] = 1;  // checksum place only
    received[(3 * 112 + 7) * 2002 + 2001] = 1;
    EXPECT_TRUE(ChangedParts(11, stored, received).empty());
    received[(1 * 112 + 2) * 2002 + 1999] = 1;
    received[(4 * 112 + 111) * 2002] = 1;
    EXPECT_EQ(ChangedParts(11, stored, received), (std::vector<std::size_t>{114, 559}));

    auto remap = StoreBlock(store->blocks(), link::block::kKeyRemap);
    std::vector<std::uint8_t> r(remap.begin(), remap.end());
    r[2 * 125 + 50] ^= 1;
    EXPECT_EQ(ChangedParts(4, remap, r), (std::vector<std::size_t>{2}));
    r.pop_back();
    EXPECT_TRUE(ChangedParts(4, remap, r).empty());  // wrong size: nothing taken

    auto lights = StoreBlock(store->blocks(), link::block::kLightMacroBlocks);
    std::vector<std::uint8_t> l(lights.begin(), lights.end());
    l[1996] = 9;
    EXPECT_TRUE(ChangedParts(33, lights, l).empty());
    l[1995] = 9;
    EXPECT_EQ(ChangedParts(33, lights, l), (std::vector<std::size_t>{0}));

    EXPECT_EQ(PartsOf(34).count, 110u);
    EXPECT_EQ(PartsOf(12).count, 1u);
    EXPECT_EQ(PartsOf(12).size, 470879u);
    EXPECT_EQ(PartsOf(99).count, 0u);
}

TEST(StoreBlocks, ListNotificationsReplaceByPositionAndKeepTheRest) {
    auto store = NewProfileStore();
    store->timers.resize(3);
    store->timers[2].name.set("Old");
    std::vector<HIDMSG::_STimerSettingData> incoming(2);
    incoming[0].index = 0;
    incoming[0].name.set("Tea");
    incoming[1].index = 1;
    incoming[1].name.set("Eggs");
    std::vector<std::uint8_t> payload(reinterpret_cast<std::uint8_t*>(incoming.data()),
                                      reinterpret_cast<std::uint8_t*>(incoming.data()) + 74);
    payload.push_back(0xFF);  // a short rest is ignored
    ASSERT_TRUE(StoreListNotification(*store, link::list::kTimers, payload));
    ASSERT_EQ(store->timers.size(), 3u);
    EXPECT_EQ(store->timers[1].name.str(), "Eggs");
    EXPECT_EQ(store->timers[2].name.str(), "Old");
    EXPECT_EQ(ListBytes(*store, 21).size(), 3u * 37);
    EXPECT_EQ(ListBytes(*store, 21)[37 + 4], 'E');
    EXPECT_TRUE(StoreListNotification(*store, link::list::kMacros, {}));  // empty list
    EXPECT_FALSE(StoreListNotification(*store, 12, payload));
    EXPECT_TRUE(ListBytes(*store, 103).empty());

    TalkDeviceRecord t{};
    t.key = 0x11223344;
    t.name.set(u"Mouse");
    store->talkDevices[t.key] = t;
    auto bytes = TalkRecordBytes(*store);
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[4], 'M');
}

}  // namespace
}  // namespace vyre
