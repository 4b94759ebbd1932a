// The program in front on wlroots compositors (sway, labwc, Wayfire, river,
// ...): the foreign-toplevel-management protocol tells which window is
// activated and its app id; sway's IPC names the focused window's process.
// Where no IPC tells the process, the app id's desktop entry names the
// program.

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "platform/desktop.h"
#include "platform/profile_ini.h"
#include "platform/shell_link.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

namespace vyre::platform {
namespace {

constexpr int kIpcWaitMs = 1000;
constexpr std::uint32_t kIpcGetTree = 4;
constexpr std::uint32_t kIpcLargestReply = 16u << 20;
constexpr char kIpcMagic[] = "i3-ipc";
constexpr std::size_t kIpcHeader = 6 + 4 + 4;

// Reads or writes all of `size` bytes within the IPC wait.
bool Transfer(int fd, char* data, std::size_t size, bool write) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIpcWaitMs);
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t n = write ? ::send(fd, data, size, MSG_NOSIGNAL) : ::recv(fd, data, size, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// One request to sway's IPC socket and its JSON reply; empty on any failure.
QJsonDocument SwayRequest(const std::string& socketPath, std::uint32_t type) {
    sockaddr_un addr{};
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return {};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return {};
    QJsonDocument reply;
    char header[kIpcHeader];
    std::memcpy(header, kIpcMagic, 6);
    const std::uint32_t none = 0;
    std::memcpy(header + 6, &none, 4);  // the IPC's numbers are in the machine's order
    std::memcpy(header + 10, &type, 4);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        Transfer(fd, header, sizeof header, true) && Transfer(fd, header, sizeof header, false) &&
        std::memcmp(header, kIpcMagic, 6) == 0) {
        std::uint32_t length = 0, answered = 0;
        std::memcpy(&length, header + 6, 4);
        std::memcpy(&answered, header + 10, 4);
        QByteArray payload(static_cast<qsizetype>(std::min(length, kIpcLargestReply)), '\0');
        if (answered == type && length <= kIpcLargestReply &&
            Transfer(fd, payload.data(), static_cast<std::size_t>(payload.size()), false)) {
            reply = QJsonDocument::fromJson(payload);
        }
    }
    ::close(fd);
    return reply;
}

// The process of the focused window in a sway tree; 0 when none says.
long FocusedPid(const QJsonObject& node, int depth = 0) {
    if (depth > 64) return 0;
    if (node.value("focused").toBool() && node.value("pid").isDouble())
        return static_cast<long>(node.value("pid").toDouble());
    for (const char* list : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(list).toArray()) {
            if (const long pid = FocusedPid(child.toObject(), depth + 1)) return pid;
        }
    }
    return 0;
}

// The program of an app id through its desktop entry ("org.example.Game" ->
// ".../applications/org.example.Game.desktop").
ForegroundProgram ProgramOfAppId(std::uint64_t window, const std::string& appId) {
    ForegroundProgram fg;
    fg.window = window;
    if (appId.empty() || appId.find('/') != std::string::npos || appId.starts_with(".")) return fg;
    std::vector<std::string> folders;
    const char* home = std::getenv("HOME");
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) folders.emplace_back(dataHome);
    else if (home && *home) folders.push_back(std::string(home) + "/.local/share");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string dirs = dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share";
    for (std::size_t at = 0; at <= dirs.size();) {
        const std::size_t end = std::min(dirs.find(':', at), dirs.size());
        if (end > at) folders.push_back(dirs.substr(at, end - at));
        at = end + 1;
    }
    for (const std::string& folder : folders) {
        const std::string entry = folder + "/applications/" + appId + ".desktop";
        std::error_code ec;
        if (!std::filesystem::is_regular_file(entry, ec)) continue;
        fg.appId = GetPrivateProfileString("Desktop Entry", "X-Flatpak", "", entry);
        if (fg.appId.empty()) fg.path = ResolveProgramFile(entry);
        break;
    }
    return fg;
}

class WlrootsDesktop : public Desktop {
  public:
    WlrootsDesktop(wl_display* display, wl_registry* registry, zwlr_foreign_toplevel_manager_v1* manager)
        : display_(display), registry_(registry), manager_(manager) {
        if (const char* sock = std::getenv("SWAYSOCK")) swaySocket_ = sock;
        zwlr_foreign_toplevel_manager_v1_add_listener(manager_, &kManagerListener, this);
        wl_display_roundtrip(display_);  // the toplevels that exist
        wl_display_roundtrip(display_);  // and their state
        thread_ = std::thread([this] { Run(); });
    }
    ~WlrootsDesktop() override {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stop_, &one, sizeof one);
        thread_.join();
        ::close(stop_);
        for (auto& [handle, state] : toplevels_) zwlr_foreign_toplevel_handle_v1_destroy(handle);
        zwlr_foreign_toplevel_manager_v1_destroy(manager_);
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }

    std::optional<ForegroundProgram> Foreground() override {
        std::uint64_t window = 0;
        std::string appId;
        {
            std::lock_guard lock(mutex_);
            if (!connected_) return std::nullopt;
            window = front_;
            if (window == 0) {
                ForegroundProgram desktop;
                desktop.desktop = true;
                return desktop;
            }
            appId = frontAppId_;
            if (window == known_.window) return known_;
        }
        ForegroundProgram fg;
        const long pid = FocusedPid(SwayRequest(swaySocket_, kIpcGetTree).object());
        fg = pid > 0 ? ProgramOfProcess(window, pid) : ProgramOfAppId(window, appId);
        std::lock_guard lock(mutex_);
        if (pid > 0 && front_ == window) known_ = fg;  // a window's process does not change
        return fg;
    }

  private:
    struct Toplevel {
        std::uint64_t id = 0;
        std::string appId;
        bool activated = false;
    };

    void Run() {
        const int fd = wl_display_get_fd(display_);
        for (;;) {
            while (wl_display_prepare_read(display_) != 0) wl_display_dispatch_pending(display_);
            wl_display_flush(display_);
            pollfd p[2] = {{fd, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(p, 2, -1) < 0 && errno != EINTR) p[1].revents = POLLIN;
            if (p[1].revents != 0) {
                wl_display_cancel_read(display_);
                return;
            }
            if ((p[0].revents & POLLIN) == 0 || wl_display_read_events(display_) != 0) {
                if ((p[0].revents & POLLIN) == 0) wl_display_cancel_read(display_);
                if (p[0].revents & (POLLERR | POLLHUP) || wl_display_get_error(display_) != 0) {
                    Lost();
                    return;
                }
                continue;
            }
            wl_display_dispatch_pending(display_);
        }
    }

    // The compositor went away: nothing can be known any more.
    void Lost() {
        std::lock_guard lock(mutex_);
        connected_ = false;
    }

    static void OnToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WlrootsDesktop*>(data);
        self->toplevels_[handle].id = ++self->lastId_;
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kHandleListener, self);
    }
    static void OnFinished(void* data, zwlr_foreign_toplevel_manager_v1*) { static_cast<WlrootsDesktop*>(data)->Lost(); }

    static void OnTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
    static void OnAppId(void* data, zwlr_foreign_toplevel_handle_v1* handle, const char* appId) {
        static_cast<WlrootsDesktop*>(data)->toplevels_[handle].appId = appId ? appId : "";
    }
    static void OnOutput(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
    static void OnState(void* data, zwlr_foreign_toplevel_handle_v1* handle, wl_array* states) {
        bool activated = false;
        const auto* s = static_cast<const std::uint32_t*>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i)
            activated = activated || s[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        static_cast<WlrootsDesktop*>(data)->toplevels_[handle].activated = activated;
    }
    // The state of a toplevel is complete: it is in front, or no longer.
    static void OnDone(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WlrootsDesktop*>(data);
        const Toplevel& t = self->toplevels_[handle];
        std::lock_guard lock(self->mutex_);
        if (t.activated) {
            self->front_ = t.id;
            self->frontAppId_ = t.appId;
        } else if (self->front_ == t.id) {
            self->front_ = 0;
        }
    }
    static void OnClosed(void* data, zwlr_foreign_toplevel_handle_v1* handle) {
        auto* self = static_cast<WlrootsDesktop*>(data);
        {
            std::lock_guard lock(self->mutex_);
            if (self->front_ == self->toplevels_[handle].id) self->front_ = 0;
        }
        self->toplevels_.erase(handle);
        zwlr_foreign_toplevel_handle_v1_destroy(handle);
    }
    static void OnParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {&OnToplevel, &OnFinished};
    static constexpr zwlr_foreign_toplevel_handle_v1_listener kHandleListener = {
        &OnTitle, &OnAppId, &OnOutput, &OnOutput, &OnState, &OnDone, &OnClosed, &OnParent};

    wl_display* display_;
    wl_registry* registry_;
    zwlr_foreign_toplevel_manager_v1* manager_;
    std::string swaySocket_;
    int stop_ = ::eventfd(0, EFD_CLOEXEC);
    std::thread thread_;
    // Touched by the event thread only (and by the constructor before it).
    std::map<zwlr_foreign_toplevel_handle_v1*, Toplevel> toplevels_;
    std::uint64_t lastId_ = 0;
    // Shared with the callers of Foreground().
    std::mutex mutex_;
    bool connected_ = true;
    std::uint64_t front_ = 0;
    std::string frontAppId_;
    ForegroundProgram known_;
};

struct Globals {
    std::uint32_t manager = 0;
    std::uint32_t version = 0;
};

void OnGlobal(void* data, wl_registry*, std::uint32_t name, const char* interface, std::uint32_t version) {
    if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0) {
        static_cast<Globals*>(data)->manager = name;
        static_cast<Globals*>(data)->version = version;
    }
}
void OnGlobalRemove(void*, wl_registry*, std::uint32_t) {}
constexpr wl_registry_listener kRegistryListener = {&OnGlobal, &OnGlobalRemove};

}  // namespace

std::unique_ptr<Desktop> MakeWlrootsDesktop() {
    if (!WaylandSession()) return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return nullptr;
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    if (wl_display_roundtrip(display) < 0 || globals.manager == 0) {
        wl_registry_destroy(registry);
        wl_display_disconnect(display);
        return nullptr;
    }
    auto* manager = static_cast<zwlr_foreign_toplevel_manager_v1*>(
        wl_registry_bind(registry, globals.manager, &zwlr_foreign_toplevel_manager_v1_interface,
                         std::min<std::uint32_t>(globals.version, 3)));
    return std::make_unique<WlrootsDesktop>(display, registry, manager);
}

}  // namespace vyre::platform
