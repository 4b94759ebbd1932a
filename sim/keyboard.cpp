#include "sim/keyboard.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>

#include "common/bytes.h"
#include "common/checksum.h"
#include "common/key_functions.h"
#include "common/key_slots.h"
#include "common/slots.h"
#include "platform/atomic_file.h"
#include "platform/hid/device_ids.h"
#include "sim/report_rules.h"

namespace vyre::sim {

namespace {

constexpr int kProfiles = 5;
constexpr std::size_t kQueueLimit = 1024;  // input reports kept per reader
constexpr char kStateMagic[12] = {'V', 'Y', 'R', 'E', 'L', 'U', 'M', 'O', 'S', 'I', 'M', 1};

// The reports the keyboard keeps, in the order of its memory.
constexpr std::uint8_t kKept[] = {0x05, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x0C, 0x0D,
                                  0x0E, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19};

struct Place {
    std::size_t offset = 0;
    std::size_t length = 0;
    int images = 1;      // per profile, or 1 for a global report
    bool perProfile = false;
};

struct Layout {
    std::map<std::uint8_t, Place> places;
    std::size_t size = 0;
    Layout() {
        for (std::uint8_t id : kKept) {
            Place p;
            p.offset = size;
            p.length = FeatureLength(id);
            p.perProfile = IsPerProfile(id);
            p.images = ImagesPerProfile(id);
            places[id] = p;
            size += p.length * static_cast<std::size_t>(p.images) * (p.perProfile ? kProfiles : 1);
        }
    }
};

const Layout& MemoryLayout() {
    static const Layout layout;
    return layout;
}

std::uint32_t Fnv1a(const std::uint8_t* p, std::size_t n) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

std::uint16_t InterfacePage(InterfaceKind kind) {
    switch (kind) {
        case InterfaceKind::Feature: return kFeatureUsagePage;
        case InterfaceKind::Event: return kEventUsagePage;
        case InterfaceKind::Other: return 0x01;
    }
    return 0;
}

}  // namespace

std::string HexBytes(const std::uint8_t* data, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 3);
    for (std::size_t i = 0; i < n; ++i) {
        if (i) s.push_back(' ');
        s.push_back(digits[data[i] >> 4]);
        s.push_back(digits[data[i] & 0x0F]);
    }
    return s;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') {
            v = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            v = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            v = c - 'A' + 10;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':' || c == ',') {
            if (high >= 0) return std::nullopt;  // a lone digit
            continue;
        } else {
            return std::nullopt;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return out;
}

// ---------------------------------------------------------------------------

struct Reader {
    std::deque<std::vector<std::uint8_t>> queue;
};

struct Keyboard::State {
    KeyboardConfig config;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();

    mutable std::mutex mutex;
    std::condition_variable inputArrived;
    std::vector<std::uint8_t> memory;  // every kept image, see MemoryLayout()
    bool plugged = false;
    std::uint64_t generation = 0;  // advances on every unplug
    bool failWrites = false;
    bool failReads = false;
    bool stayBusy = false;
    int busyPolls = 1;
    int busyLeft = 0;
    int versionZeroReads = 0;
    std::uint8_t status = kStatusDone;
    std::uint8_t lastWrittenId = 0;
    std::optional<std::pair<int, RequestTarget>> request;  // profile and target
    bool resetEventPending = false;
    Counters counters;
    std::uint64_t changes = 0;
    std::map<int, Reader*> readers;
    int nextReader = 1;
    std::function<void(const std::string&)> trace;

    std::mutex listenerMutex;  // held while listeners run
    std::map<int, std::function<void(const hid::DeviceChange&)>> listeners;
    int nextListener = 1;

    // --- memory access (mutex held) ---
    std::uint8_t* Image(std::uint8_t id, int profile, int index) {
        const auto& places = MemoryLayout().places;
        auto it = places.find(id);
        if (it == places.end()) return nullptr;
        const Place& p = it->second;
        if (p.perProfile) {
            if (profile < 0 || profile >= kProfiles || index < 0 || index >= p.images) {
                return nullptr;
            }
            if (id == 0x17 && !IlluminationRecordExists(index)) return nullptr;
        } else {
            profile = 0;
            index = 0;
        }
        return memory.data() + p.offset +
               (static_cast<std::size_t>(profile) * p.images + index) * p.length;
    }

    void FillFactory() {
        memory.assign(MemoryLayout().size, 0);
        for (const auto& [id, place] : MemoryLayout().places) {
            const int profiles = place.perProfile ? kProfiles : 1;
            for (int pr = 0; pr < profiles; ++pr) {
                for (int ix = 0; ix < place.images; ++ix) {
                    std::uint8_t* dst = Image(id, pr, ix);
                    if (!dst) continue;
                    const auto img = FactoryImage(id, pr, ix, config.layout);
                    std::memcpy(dst, img.data(), place.length);
                }
            }
        }
        ++changes;
    }

    std::vector<std::uint8_t> InfoReport() {
        std::vector<std::uint8_t> r(8, 0);
        r[0] = 0x0F;
        r[1] = 0x08;
        const int fw = config.firmware >= 0 ? config.firmware
                                            : (config.model == Model::B ? 109 : 104);
        r[2] = static_cast<std::uint8_t>(fw);
        r[4] = static_cast<std::uint8_t>(config.firmware2 >= 0 ? config.firmware2 : 141);
        r[6] = static_cast<std::uint8_t>(config.layout);
        return r;
    }

    void Trace(const char* what, const std::uint8_t* data, std::size_t n) {
        if (!trace) return;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        std::string line = std::to_string(ms);
        line.append(" ").append(what);
        if (data) line.append(" ").append(HexBytes(data, n));
        trace(line);
    }

    std::vector<hid::DeviceInfo> InterfacesLocked() const {
        std::vector<hid::DeviceInfo> list;
        if (!plugged) return list;
        char ids[32];
        std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendorId, productId);
        for (std::size_t i = 0; i < config.order.size(); ++i) {
            hid::DeviceInfo info;
            info.vendorId = vendorId;
            info.productId = productId;
            info.usagePage = InterfacePage(config.order[i]);
            info.usage = config.order[i] == InterfaceKind::Other ? 0x06 : 0x00;
            info.path = "sim:" + config.name + ":" + ids + "&col0" + std::to_string(i + 1);
            list.push_back(std::move(info));
        }
        return list;
    }

    // Queues an input report for every reader (mutex held).
    void Emit(const std::vector<std::uint8_t>& report) {
        Trace("EVT", report.data(), report.size());
        ++counters.events;
        for (auto& [id, reader] : readers) {
            if (reader->queue.size() >= kQueueLimit) reader->queue.pop_front();
            reader->queue.push_back(report);
        }
        inputArrived.notify_all();
    }

    std::vector<std::uint8_t> EventReport(std::uint8_t index, std::uint8_t type,
                                          std::uint8_t data, std::uint8_t action) const {
        std::vector<std::uint8_t> r(config.inputReportLength < 5 ? 5 : config.inputReportLength, 0);
        r[0] = 0x03;
        r[1] = index;
        r[2] = type;
        r[3] = data;
        r[4] = action;
        return r;
    }

    void FinishReset() {
        if (!resetEventPending) return;
        resetEventPending = false;
        Emit(EventReport(0x00, 0x08, 0x01, 0x00));
    }

    // --- host operations (mutex held) ---
    bool HostSet(const std::uint8_t* data, std::size_t length);
    int HostGet(std::uint8_t* data, std::size_t length);
    std::uint8_t Apply(const std::uint8_t* data, std::size_t length);

    void Notify(std::uint32_t code, const std::vector<hid::DeviceInfo>& interfaces) {
        std::lock_guard lock(listenerMutex);
        for (const auto& info : interfaces) {
            hid::DeviceChange change;
            change.code = code;
            change.device = info;
            for (auto& [id, fn] : listeners) fn(change);
        }
    }
};

bool Keyboard::State::HostSet(const std::uint8_t* data, std::size_t length) {
    Trace("SET", data, length);
    if (length == 0 || failWrites) {
        ++counters.rejectedWrites;
        return false;
    }
    const std::uint8_t id = data[0];
    const bool writable = id != 0x0F && FeatureLength(id) != 0;
    if (!writable || length != FeatureLength(id)) {
        ++counters.rejectedWrites;
        return false;
    }
    if (resetEventPending) FinishReset();
    ++counters.writes;
    lastWrittenId = id;
    status = Apply(data, length);
    busyLeft = busyPolls;
    return true;
}

std::uint8_t Keyboard::State::Apply(const std::uint8_t* data, std::size_t length) {
    const std::uint8_t id = data[0];
    const bool modelB = config.model == Model::B;
    auto refuse = [this] {
        ++counters.refusedMalformed;
        return kStatusRefused;
    };
    switch (id) {
        case 0x04: {
            const auto target = DecodeRequest(data[2]);
            if (data[1] >= kProfiles || !target) return refuse();
            if (!modelB && (target->id == 0x17 || target->id == 0x19)) return refuse();
            request = std::make_pair(static_cast<int>(data[1]), *target);
            return kStatusDone;
        }
        case 0x05:
            if (data[1] != 0x03 || data[2] >= kProfiles) return refuse();
            Image(0x05, 0, 0)[2] = data[2];
            ++changes;
            return kStatusDone;
        case 0x11:
            if (data[1] != 0x03 || data[2] != 0x04) return refuse();
            FillFactory();
            ++counters.resets;
            request.reset();
            resetEventPending = true;
            return kStatusDone;
        case 0x13:
            if (data[1] != 0x08) return refuse();
            std::memcpy(Image(0x13, 0, 0), data, length);
            return kStatusDone;
        case 0x15:
            if (data[1] != 0x03 || data[2] > 1) return refuse();
            std::memcpy(Image(0x15, 0, 0), data, length);
            return kStatusDone;
        case 0x16:
            if (data[1] != 0x10) return refuse();
            std::memcpy(Image(0x16, 0, 0), data, length);
            ++changes;
            return kStatusDone;
        default:
            break;
    }
    // The reports closed by a checksum.
    if (!ChecksumValid(data, length)) {
        ++counters.refusedChecksum;
        return kStatusRefused;
    }
    if (!HeaderValid(data, length)) return refuse();
    if (!modelB && (id == 0x17 || id == 0x19)) return refuse();
    int profile = 0;
    int index = 0;
    if (IsPerProfile(id)) profile = data[ProfileOffset(id)];
    if (id == 0x0E) index = data[4];
    if (id == 0x17) index = data[3] * 11 + data[4];
    std::uint8_t* dst = Image(id, profile, index);
    if (!dst) return refuse();
    std::memcpy(dst, data, length);
    ++changes;
    return kStatusDone;
}

int Keyboard::State::HostGet(std::uint8_t* data, std::size_t length) {
    if (length == 0 || failReads) {
        ++counters.rejectedReads;
        return -1;
    }
    const std::uint8_t id = data[0];
    std::vector<std::uint8_t> answer;
    switch (id) {
        case 0x04:
            answer = {0x04, status, lastWrittenId};
            if (stayBusy || busyLeft > 0) {
                if (busyLeft > 0) --busyLeft;
                answer[1] = kStatusBusy;
                ++counters.busyAnswers;
            } else {
                FinishReset();
            }
            break;
        case 0x05: {
            const std::uint8_t* img = Image(0x05, 0, 0);
            answer.assign(img, img + 3);
            break;
        }
        case 0x0F:
            answer = InfoReport();
            if (versionZeroReads != 0) {
                answer[2] = 0;
                if (versionZeroReads > 0) --versionZeroReads;
            }
            break;
        case 0x14: {
            const std::uint8_t* img = Image(0x14, 0, 0);
            answer.assign(img, img + FeatureLength(0x14));
            break;
        }
        default: {
            // A kept per-profile image answers only the request made for it.
            if (!request || request->second.id != id) {
                ++counters.rejectedReads;
                return -1;
            }
            const std::uint8_t* img = Image(id, request->first, request->second.index);
            if (!img) {
                ++counters.rejectedReads;
                return -1;
            }
            answer.assign(img, img + FeatureLength(id));
            break;
        }
    }
    const std::size_t n = answer.size() < length ? answer.size() : length;
    std::memcpy(data, answer.data(), n);
    ++counters.reads;
    Trace("GET", answer.data(), n);
    return static_cast<int>(n);
}

// ---------------------------------------------------------------------------

namespace {

class Session : public hid::Device {
public:
    Session(std::shared_ptr<Keyboard::State> state, InterfaceKind kind, hid::OpenMode mode,
            std::uint64_t generation)
        : state_(std::move(state)), kind_(kind), mode_(mode), generation_(generation) {
        if (mode_ == hid::OpenMode::Read && kind_ == InterfaceKind::Event) {
            std::lock_guard lock(state_->mutex);
            readerId_ = state_->nextReader++;
            state_->readers[readerId_] = &reader_;
        }
    }
    ~Session() override {
        if (readerId_) {
            std::lock_guard lock(state_->mutex);
            state_->readers.erase(readerId_);
        }
    }

    bool SetFeature(const std::uint8_t* data, std::size_t length) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive() || kind_ != InterfaceKind::Feature || !data) {
            ++state_->counters.rejectedWrites;
            return false;
        }
        return state_->HostSet(data, length);
    }

    int GetFeature(std::uint8_t* data, std::size_t length) override {
        std::lock_guard lock(state_->mutex);
        if (!Alive() || kind_ != InterfaceKind::Feature || !data) {
            ++state_->counters.rejectedReads;
            return -1;
        }
        return state_->HostGet(data, length);
    }

    int Read(std::uint8_t* data, std::size_t length, int timeoutMs) override {
        std::unique_lock lock(state_->mutex);
        if (mode_ != hid::OpenMode::Read || !data || length == 0) return hid::kReadError;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        for (;;) {
            if (!Alive()) return hid::kReadError;
            if (!reader_.queue.empty()) {
                auto report = std::move(reader_.queue.front());
                reader_.queue.pop_front();
                const std::size_t n = report.size() < length ? report.size() : length;
                std::memcpy(data, report.data(), n);
                return static_cast<int>(n);
            }
            if (state_->inputArrived.wait_until(lock, deadline) == std::cv_status::timeout &&
                reader_.queue.empty()) {
                return Alive() ? hid::kReadTimeout : hid::kReadError;
            }
        }
    }

private:
    bool Alive() const { return state_->plugged && state_->generation == generation_; }

    std::shared_ptr<Keyboard::State> state_;
    InterfaceKind kind_;
    hid::OpenMode mode_;
    std::uint64_t generation_;
    Reader reader_;
    int readerId_ = 0;
};

}  // namespace

Keyboard::Keyboard(KeyboardConfig config) : state_(std::make_shared<State>()) {
    State& s = *state_;
    s.config = std::move(config);
    const KeyboardIds ids = hid::ConfiguredKeyboardIds();
    s.vendorId = s.config.vendorId ? s.config.vendorId : ids.vendorId;
    s.productId = s.config.productId
                      ? s.config.productId
                      : (s.config.model == Model::B ? ids.productIdB : ids.productIdA);
    s.busyPolls = s.config.busyPolls < 0 ? 0 : s.config.busyPolls;
    s.FillFactory();
    s.plugged = s.config.plugged;
}

Keyboard::~Keyboard() {
    // Wake readers of handles that outlive the keyboard object.
    std::lock_guard lock(state_->mutex);
    state_->plugged = false;
    ++state_->generation;
    state_->trace = nullptr;
    state_->inputArrived.notify_all();
}

const KeyboardConfig& Keyboard::config() const { return state_->config; }
std::uint16_t Keyboard::vendorId() const { return state_->vendorId; }
std::uint16_t Keyboard::productId() const { return state_->productId; }

std::vector<hid::DeviceInfo> Keyboard::Interfaces() const {
    std::lock_guard lock(state_->mutex);
    return state_->InterfacesLocked();
}

std::unique_ptr<hid::Device> Keyboard::Open(const std::string& path, hid::OpenMode mode) {
    std::uint64_t generation;
    InterfaceKind kind;
    {
        std::lock_guard lock(state_->mutex);
        const auto list = state_->InterfacesLocked();
        std::size_t i = 0;
        while (i < list.size() && list[i].path != path) ++i;
        if (i == list.size()) return nullptr;
        kind = state_->config.order[i];
        generation = state_->generation;
    }
    return std::make_unique<Session>(state_, kind, mode, generation);
}

void Keyboard::Plug() {
    std::vector<hid::DeviceInfo> list;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->plugged) return;
        state_->plugged = true;
        // Power comes back: live lighting and host presence start off, the
        // busy phase and any request are forgotten.
        std::memset(state_->Image(0x13, 0, 0) + 2, 0, 6);
        state_->Image(0x15, 0, 0)[2] = 0;
        state_->busyLeft = 0;
        state_->request.reset();
        state_->Trace("PLUG", nullptr, 0);
        list = state_->InterfacesLocked();
    }
    state_->Notify(hid::kDbtDeviceArrival, list);
}

void Keyboard::Unplug() {
    std::vector<hid::DeviceInfo> list;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->plugged) return;
        list = state_->InterfacesLocked();
        state_->plugged = false;
        ++state_->generation;
        state_->resetEventPending = false;
        state_->Trace("UNPLUG", nullptr, 0);
        state_->inputArrived.notify_all();
    }
    state_->Notify(hid::kDbtDeviceRemoveComplete, list);
}

bool Keyboard::plugged() const {
    std::lock_guard lock(state_->mutex);
    return state_->plugged;
}

void Keyboard::SetFailWrites(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->failWrites = on;
}
void Keyboard::SetFailReads(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->failReads = on;
}
void Keyboard::SetStayBusy(bool on) {
    std::lock_guard lock(state_->mutex);
    state_->stayBusy = on;
}
void Keyboard::SetBusyPolls(int polls) {
    std::lock_guard lock(state_->mutex);
    state_->busyPolls = polls < 0 ? 0 : polls;
}
void Keyboard::SetVersionZeroReads(int reads) {
    std::lock_guard lock(state_->mutex);
    state_->versionZeroReads = reads < -1 ? -1 : reads;
}

bool Keyboard::SendEvent(std::uint8_t index, std::uint8_t type, std::uint8_t data,
                         std::uint8_t action) {
    std::lock_guard lock(state_->mutex);
    if (!state_->plugged) return false;
    // What the firmware did before it told the host: a profile chosen on
    // the keyboard is its active profile, a light level changed on it is
    // kept in the active profile's light settings.
    if ((type == 0x01 || type == 0x02) && index == 0 && data < kProfiles) {
        state_->Image(0x05, 0, 0)[2] = data;
        ++state_->changes;
    } else if (type == 0x0C && index == 0) {
        std::uint8_t* img = state_->Image(0x0D, state_->Image(0x05, 0, 0)[2], 0);
        img[3] = data;
        const std::size_t n = FeatureLength(0x0D);
        StoreLe16(img + n - 2, Checksum16(img, n - 2));
        ++state_->changes;
    }
    state_->Emit(state_->EventReport(index, type, data, action));
    return true;
}

bool Keyboard::PressKey(int keyIndex, int layer) {
    std::lock_guard lock(state_->mutex);
    if (!state_->plugged || keyIndex < 0 || keyIndex >= kKeyCount) return false;
    const auto slot = FunctionSlot(keyIndex, layer == 0 ? Layer::Primary : Layer::Secondary,
                                   state_->config.layout);
    // The function entries that can call a macro: the thumb keys' (report 9,
    // after id, length and profile) and the Flexlayer functions of the normal
    // keys (report 0x0B, whose length takes two bytes), three bytes each.
    if (!slot || *slot < 10 || !SlotHasMacro(*slot)) return false;
    const std::uint8_t profile = state_->Image(0x05, 0, 0)[2];
    const std::uint8_t* entries =
        *slot < 16 ? state_->Image(0x09, profile, 0) : state_->Image(0x0B, profile, 0);
    const int entry = *slot < 16 ? *slot - 10 : *slot - 16;
    const int header = *slot < 16 ? 3 : 4;
    if (entries == nullptr || entries[header + 3 * entry] != fncode::kMacro) return false;
    const std::uint8_t* macro = state_->Image(0x0E, profile, *slot);
    if (macro == nullptr) return false;
    const std::size_t events = std::min<std::size_t>(LoadLe16(macro + 78), 480);
    std::vector<std::uint8_t> played{static_cast<std::uint8_t>(*slot), macro[5]};
    played.insert(played.end(), macro + 80, macro + 80 + 4 * events);
    state_->Trace("PLAY", played.data(), played.size());
    return true;
}

std::optional<std::vector<std::uint8_t>> Keyboard::Report(std::uint8_t id, int profile,
                                                          int index) const {
    std::lock_guard lock(state_->mutex);
    if (id == 0x0F) return state_->InfoReport();
    const std::uint8_t* img = state_->Image(id, profile, index);
    if (!img) return std::nullopt;
    return std::vector<std::uint8_t>(img, img + FeatureLength(id));
}

bool Keyboard::SetReport(std::uint8_t id, int profile, int index,
                         const std::vector<std::uint8_t>& image) {
    std::lock_guard lock(state_->mutex);
    std::uint8_t* img = state_->Image(id, profile, index);
    if (!img || image.size() != FeatureLength(id)) return false;
    std::memcpy(img, image.data(), image.size());
    ++state_->changes;
    return true;
}

void Keyboard::ResetToFactory() {
    std::lock_guard lock(state_->mutex);
    state_->FillFactory();
}

std::uint8_t Keyboard::activeProfile() const {
    std::lock_guard lock(state_->mutex);
    return state_->Image(0x05, 0, 0)[2];
}
std::uint8_t Keyboard::hostPresence() const {
    std::lock_guard lock(state_->mutex);
    return state_->Image(0x15, 0, 0)[2];
}
bool Keyboard::liveLighting() const {
    std::lock_guard lock(state_->mutex);
    return state_->Image(0x13, 0, 0)[2] != 0;
}
Counters Keyboard::counters() const {
    std::lock_guard lock(state_->mutex);
    return state_->counters;
}
std::uint64_t Keyboard::changeCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->changes;
}

bool Keyboard::SaveState(const std::string& path, std::string* error) const {
    std::vector<std::uint8_t> file(sizeof kStateMagic + 4);
    std::memcpy(file.data(), kStateMagic, sizeof kStateMagic);
    {
        std::lock_guard lock(state_->mutex);
        StoreLe32(file.data() + sizeof kStateMagic, static_cast<std::uint32_t>(state_->memory.size()));
        file.insert(file.end(), state_->memory.begin(), state_->memory.end());
    }
    const std::size_t bodyAt = sizeof kStateMagic + 4;
    std::uint8_t hash[4];
    StoreLe32(hash, Fnv1a(file.data() + bodyAt, file.size() - bodyAt));
    file.insert(file.end(), hash, hash + 4);

    std::error_code ec;
    if (!platform::WriteFileAtomically(
            path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()), &ec)) {
        if (error) *error = "cannot write " + path + ": " + ec.message();
        return false;
    }
    return true;
}

bool Keyboard::LoadState(const std::string& path, std::string* error) {
    const auto text = platform::ReadWholeFile(path);
    if (!text) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    const std::vector<std::uint8_t> file(text->begin(), text->end());
    const std::size_t bodyAt = sizeof kStateMagic + 4;
    const std::size_t size = MemoryLayout().size;
    if (file.size() != bodyAt + size + 4 ||
        std::memcmp(file.data(), kStateMagic, sizeof kStateMagic) != 0 ||
        LoadLe32(file.data() + sizeof kStateMagic) != size ||
        LoadLe32(file.data() + bodyAt + size) != Fnv1a(file.data() + bodyAt, size)) {
        if (error) *error = path + " is not a keyboard state file of this emulator (or is damaged)";
        return false;
    }
    std::lock_guard lock(state_->mutex);
    state_->memory.assign(file.begin() + bodyAt, file.begin() + bodyAt + size);
    ++state_->changes;
    return true;
}

void Keyboard::SetTraceSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(state_->mutex);
    state_->trace = std::move(sink);
}

bool Keyboard::OpenTraceFile(const std::string& path, std::string* error) {
    auto file = std::make_shared<std::ofstream>(path, std::ios::out | std::ios::trunc);
    if (!*file) {
        if (error) *error = "cannot write the trace " + path;
        return false;
    }
    SetTraceSink([file](const std::string& line) { *file << line << '\n' << std::flush; });
    return true;
}

int Keyboard::AddListener(std::function<void(const hid::DeviceChange&)> listener) {
    std::lock_guard lock(state_->listenerMutex);
    const int id = state_->nextListener++;
    state_->listeners[id] = std::move(listener);
    return id;
}

void Keyboard::RemoveListener(int id) {
    std::lock_guard lock(state_->listenerMutex);
    state_->listeners.erase(id);
}

}  // namespace vyre::sim
