// Which way media and volume keys take to the desktop.

#include "platform/input.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <optional>
#include <string>

#include "platform/desktop.h"

namespace vyre::platform {
namespace {

// Sets an environment variable for the life of the object.
class Env {
  public:
    Env(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~Env() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(KeyPaths, AWaylandSessionWithXwaylandUsesMprisFirst) {
    {
        Env wayland("WAYLAND_DISPLAY", "wayland-0");
        Env x11("DISPLAY", ":0");  // Xwayland beside it
        EXPECT_TRUE(WaylandSession());
        EXPECT_EQ(KeyPaths(false, WaylandSession()).front(), KeyPath::Mpris);
    }
    {
        Env wayland("WAYLAND_DISPLAY", "");
        Env x11("DISPLAY", ":0");
        EXPECT_FALSE(WaylandSession());
        EXPECT_EQ(KeyPaths(false, WaylandSession()).front(), KeyPath::XTest);
    }
    // The record takes every key while it is active, in any session.
    EXPECT_EQ(KeyPaths(true, true), std::vector<KeyPath>{KeyPath::Record});
    // Without the preferred way the other one is still tried.
    const auto wayland = KeyPaths(false, true);
    EXPECT_NE(std::find(wayland.begin(), wayland.end(), KeyPath::XTest), wayland.end());
}

}  // namespace
}  // namespace vyre::platform
