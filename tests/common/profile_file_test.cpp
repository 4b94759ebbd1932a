#include "common/profile_file.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vyre {
namespace {

TEST(ProfileFile, SizeLayoutAndARoundTripIntoAnotherProfile) {
    auto store = NewProfileStore();
    std::memset(store->keyRemapReports[3], 0xAB, sizeof store->keyRemapReports[3]);
    store->keyRemapReports[3][2] = 3;  // the profile byte as saved
    store->hostRecord(3).name.set(u"Raid");
    store->macroImage(3, 111).name.set("Last");
    store->lightMacro(3, 111).stepCount = 7;
    store->lightMacro(3, 112).stepCount = 9;  // not in the file
    store->hostSettingsBlock.lightGroupFlags[3][1][10][8] = 1;
    store->globalReport14[5] = 0x42;

    const auto file = WriteProfileFile(*store, 3);
    ASSERT_EQ(file.size(), kProfileFileSize);
    EXPECT_EQ(file[124], 0xAB);
    EXPECT_EQ(file[125], 0);  // the end of chunk 1
    EXPECT_EQ(file[595 - 21 + 5], 0x42);

    auto other = NewProfileStore();
    EXPECT_EQ(ReadProfileFile(file, *other, 1), kProfileFileChunks);
    EXPECT_EQ(other->hostRecord(1).name.str(), u"Raid");
    EXPECT_EQ(other->keyRemapReports[1][2], 3);  // kept as saved
    EXPECT_EQ(other->macroImage(1, 111).name.str(), "Last");
    EXPECT_EQ(other->lightMacro(1, 111).stepCount.get(), 7);
    EXPECT_EQ(other->lightMacro(1, 112).stepCount.get(), 0);
    EXPECT_EQ(other->hostSettingsBlock.lightGroupFlags[1][1][10][8], 1);
    EXPECT_EQ(other->globalReport14[5], 0x42);
    EXPECT_TRUE(other->hostRecord(3).name.empty());  // only profile 1 changed
}

TEST(ProfileFile, AShortFileFillsWholeSlicesOnly) {
    auto store = NewProfileStore();
    store->hostRecord(0).name.set(u"Keep");
    std::vector<std::uint8_t> file(200, 0x11);  // chunk 1 whole, chunk 2 cut off
    EXPECT_EQ(ReadProfileFile(file, *store, 0), 1);
    EXPECT_EQ(store->keyRemapReports[0][124], 0x11);
    EXPECT_EQ(store->functionKeyReports[0][0], 0);
    EXPECT_EQ(store->hostRecord(0).name.str(), u"Keep");
    EXPECT_EQ(ReadProfileFile({}, *store, 0), 0);
    EXPECT_EQ(ReadProfileFile(file, *store, 7), 0);
}

}  // namespace
}  // namespace vyre
