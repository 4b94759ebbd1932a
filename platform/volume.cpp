#include "platform/volume.h"

#include <pulse/pulseaudio.h>

#include <cmath>
#include <string>

namespace vyre::platform {
namespace {

// Keeps one connection to the sound server on a thread of its own and the
// default sink's volume cached, so that reading it never waits.
class PulseVolume : public MasterVolume {
  public:
    PulseVolume() {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr) return;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Vyre Lumo Monitor");
        if (context_ == nullptr) return;
        pa_context_set_state_callback(context_, &PulseVolume::OnState, this);
        pa_context_set_subscribe_callback(context_, &PulseVolume::OnEvent, this);
        // Without a server now, the connection waits for one to appear.
        pa_context_connect(
            context_, nullptr,
            static_cast<pa_context_flags_t>(PA_CONTEXT_NOAUTOSPAWN | PA_CONTEXT_NOFAIL), nullptr);
        pa_threaded_mainloop_start(loop_);
    }
    ~PulseVolume() override {
        if (loop_ == nullptr) return;
        pa_threaded_mainloop_stop(loop_);
        if (context_ != nullptr) {
            pa_context_disconnect(context_);
            pa_context_unref(context_);
        }
        pa_threaded_mainloop_free(loop_);
    }
    int Percent() override { return percent_.load(); }

    bool Step(int steps) override {
        if (loop_ == nullptr || context_ == nullptr) return false;
        pa_threaded_mainloop_lock(loop_);
        const bool ready = pa_context_get_state(context_) == PA_CONTEXT_READY && !sink_.empty();
        if (ready) {
            pa_cvolume volume = volume_;
            const pa_volume_t delta = PA_VOLUME_NORM * kStepPercent / 100;
            if (steps > 0) {
                pa_cvolume_inc_clamp(&volume, delta * static_cast<pa_volume_t>(steps),
                                     PA_VOLUME_NORM);
            } else {
                pa_cvolume_dec(&volume, delta * static_cast<pa_volume_t>(-steps));
            }
            pa_operation* op = pa_context_set_sink_volume_by_name(context_, sink_.c_str(), &volume,
                                                                  nullptr, nullptr);
            if (op != nullptr) pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(loop_);
        return ready;
    }

    bool ToggleMute() override {
        if (loop_ == nullptr || context_ == nullptr) return false;
        pa_threaded_mainloop_lock(loop_);
        const bool ready = pa_context_get_state(context_) == PA_CONTEXT_READY && !sink_.empty();
        if (ready) {
            pa_operation* op = pa_context_set_sink_mute_by_name(context_, sink_.c_str(), !muted_,
                                                                nullptr, nullptr);
            if (op != nullptr) pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(loop_);
        return ready;
    }

  private:
    static constexpr unsigned kStepPercent = 5;
    static void OnState(pa_context* c, void* self) {
        auto* me = static_cast<PulseVolume*>(self);
        switch (pa_context_get_state(c)) {
            case PA_CONTEXT_READY:
                pa_operation_unref(pa_context_subscribe(
                    c,
                    static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK |
                                                        PA_SUBSCRIPTION_MASK_SERVER),
                    nullptr, nullptr));
                me->Query(c);
                break;
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED:
                me->percent_ = 0;
                break;
            default:
                break;
        }
    }
    static void OnEvent(pa_context* c, pa_subscription_event_type_t, std::uint32_t, void* self) {
        static_cast<PulseVolume*>(self)->Query(c);
    }
    void Query(pa_context* c) {
        pa_operation* op = pa_context_get_server_info(c, &PulseVolume::OnServer, this);
        if (op != nullptr) pa_operation_unref(op);
    }
    static void OnServer(pa_context* c, const pa_server_info* info, void* self) {
        auto* me = static_cast<PulseVolume*>(self);
        if (info == nullptr || info->default_sink_name == nullptr) {
            me->percent_ = 0;
            return;
        }
        pa_operation* op = pa_context_get_sink_info_by_name(c, info->default_sink_name,
                                                            &PulseVolume::OnSink, self);
        if (op != nullptr) pa_operation_unref(op);
    }
    // Runs on the main loop's thread, which holds its lock.
    static void OnSink(pa_context*, const pa_sink_info* info, int eol, void* self) {
        if (eol != 0 || info == nullptr) return;
        auto* me = static_cast<PulseVolume*>(self);
        const double average = pa_cvolume_avg(&info->volume);
        me->percent_ = static_cast<int>(std::lround(average * 100.0 / PA_VOLUME_NORM));
        me->sink_ = info->name ? info->name : "";
        me->volume_ = info->volume;
        me->muted_ = info->mute != 0;
    }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    std::atomic<int> percent_{0};
    // The default sink as last read (guarded by the main loop's lock).
    std::string sink_;
    pa_cvolume volume_{};
    bool muted_ = false;
};

}  // namespace

std::unique_ptr<MasterVolume> MakePulseVolume() {
    return std::make_unique<PulseVolume>();
}

}  // namespace vyre::platform
