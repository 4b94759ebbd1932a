// The autostart choice against the XDG rules: a user entry shadows the
// system's, Hidden=true hides it, and switching writes only the user's entry.

#include <gtest/gtest.h>

#include <fstream>

#include "platform/atomic_file.h"
#include "platform/autostart.h"
#include "tests/platform/temp_dir.h"

namespace vyre::platform {
namespace {

struct Places {
    testing::TempDir folder;
    AutostartPlaces places{folder / "user", {folder / "sys1", folder / "sys2"}};

    void System(int which, const std::string& extra = {}) {
        ASSERT_TRUE(WriteFileAtomically((which == 1 ? folder / "sys1" : folder / "sys2") / kAutostartEntryName,
                                        "[Desktop Entry]\nType=Application\nExec=vyre-lumo-monitor\n" + extra));
    }
    std::optional<std::string> User() const { return ReadWholeFile(folder / "user" / kAutostartEntryName); }
    bool Set(bool on) {
        std::string error;
        const bool ok = SetAutostart(on, "/opt/vyre lumo/bin/vyre-lumo-monitor", &error, places);
        EXPECT_TRUE(ok) << error;
        return ok;
    }
};

TEST(Autostart, TheUserEntryShadowsTheSystemEntry) {
    Places t;
    EXPECT_FALSE(AutostartEnabled(t.places));  // nothing installed
    t.System(2);
    EXPECT_TRUE(AutostartEnabled(t.places));
    t.System(1, "Hidden=true\n");  // the first system folder wins over the second
    EXPECT_FALSE(AutostartEnabled(t.places));
    t.System(1);
    // A disabled or hidden user entry turns it off; a plain one keeps it on.
    ASSERT_TRUE(WriteFileAtomically(t.folder / "user" / kAutostartEntryName,
                                    "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"));
    EXPECT_FALSE(AutostartEnabled(t.places));
    ASSERT_TRUE(WriteFileAtomically(t.folder / "user" / kAutostartEntryName,
                                    "[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n"));
    EXPECT_TRUE(AutostartEnabled(t.places));  // Hidden in another group does not count
}

TEST(Autostart, SwitchingWithASystemEntryHidesAndUnhidesIt) {
    Places t;
    t.System(1);
    ASSERT_TRUE(t.Set(false));
    ASSERT_TRUE(t.User());
    EXPECT_NE(t.User()->find("Hidden=true"), std::string::npos);
    EXPECT_FALSE(AutostartEnabled(t.places));
    ASSERT_TRUE(t.Set(true));
    EXPECT_FALSE(t.User());  // the system entry shows through again
    EXPECT_TRUE(AutostartEnabled(t.places));
}

TEST(Autostart, SwitchingWithoutASystemEntryWritesAndRemovesTheUsersOwn) {
    Places t;
    ASSERT_TRUE(t.Set(true));
    ASSERT_TRUE(t.User());
    // The path with a blank is one quoted argument.
    EXPECT_NE(t.User()->find("Exec=\"/opt/vyre lumo/bin/vyre-lumo-monitor\"\n"), std::string::npos);
    EXPECT_TRUE(AutostartEnabled(t.places));
    ASSERT_TRUE(t.Set(false));
    EXPECT_FALSE(t.User());
    EXPECT_FALSE(AutostartEnabled(t.places));
}

TEST(Autostart, AFolderThatCannotBeWrittenIsReported) {
    Places t;
    // The user's autostart "folder" is a file: nothing can go below it.
    ASSERT_TRUE(WriteFileAtomically(t.folder / "user", "not a folder"));
    std::string error;
    EXPECT_FALSE(SetAutostart(true, "/usr/bin/vyre-lumo-monitor", &error, t.places));
    EXPECT_NE(error.find("user"), std::string::npos);
}

}  // namespace
}  // namespace vyre::platform
