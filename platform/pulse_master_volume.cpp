#include "platform/pulse_master_volume.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace platform {

namespace {

// The whole of one call, connection included. A server that is there answers in milliseconds.
constexpr pa_usec_t kCallBudgetUs = 1000 * PA_USEC_PER_MSEC;
constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

pa_volume_t ToPulseVolume(uint32_t value) {
    const uint64_t clamped = std::min<uint32_t>(value, kMasterVolumeMax);
    return static_cast<pa_volume_t>((clamped * PA_VOLUME_NORM + kMasterVolumeMax / 2) /
                                    kMasterVolumeMax);
}

uint32_t FromPulseVolume(pa_volume_t volume) {
    const uint64_t clamped = std::min<pa_volume_t>(volume, PA_VOLUME_NORM);
    return static_cast<uint32_t>((clamped * kMasterVolumeMax + PA_VOLUME_NORM / 2) /
                                 PA_VOLUME_NORM);
}

// One connection to the server on a private, single-threaded main loop that this call drives
// itself, so no thread outlives the call. Every wait ends at the call's deadline.
class Session {
public:
    Session() : m_deadlineUs(pa_rtclock_now() + kCallBudgetUs), m_loop(pa_mainloop_new()) {
        if (!m_loop) return;
        m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Telvane volume");
        if (!m_context) return;
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
        m_connected = RunUntil([this] {
            const pa_context_state_t state = pa_context_get_state(m_context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        }) && pa_context_get_state(m_context) == PA_CONTEXT_READY;
    }

    ~Session() {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop) pa_mainloop_free(m_loop);
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool Connected() const { return m_connected; }
    pa_context* Context() const { return m_context; }

    // Runs the operation to its end; false when it failed to start or the deadline passed.
    bool Complete(pa_operation* operation) {
        if (!operation) return false;
        const bool done = RunUntil([operation] {
            return pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
        });
        if (!done) pa_operation_cancel(operation);
        pa_operation_unref(operation);
        return done;
    }

private:
    template <typename Finished>
    bool RunUntil(Finished finished) {
        while (!finished()) {
            const pa_usec_t nowUs = pa_rtclock_now();
            if (nowUs >= m_deadlineUs) return false;
            const int timeoutUs = static_cast<int>(m_deadlineUs - nowUs);
            if (pa_mainloop_prepare(m_loop, timeoutUs) < 0 || pa_mainloop_poll(m_loop) < 0 ||
                pa_mainloop_dispatch(m_loop) < 0)
                return false;
        }
        return true;
    }

    const pa_usec_t m_deadlineUs;
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    bool m_connected = false;
};

struct SinkVolume {
    bool found = false;
    pa_cvolume volume{};
};

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* result) {
    if (eol || !info) return;
    auto* sink = static_cast<SinkVolume*>(result);
    sink->found = true;
    sink->volume = info->volume;
}

void OnSuccess(pa_context*, int success, void* result) { *static_cast<bool*>(result) = success != 0; }

SinkVolume ReadDefaultSink(Session& session) {
    SinkVolume sink;
    if (!session.Connected()) return sink;
    if (!session.Complete(
            pa_context_get_sink_info_by_name(session.Context(), kDefaultSink, &OnSinkInfo, &sink)))
        sink.found = false;
    return sink;
}

}  // namespace

std::unique_ptr<MasterVolume> CreateSystemMasterVolume() {
    return std::make_unique<PulseMasterVolume>();
}

bool PulseMasterVolume::Get(uint32_t& value) {
    Session session;
    const SinkVolume sink = ReadDefaultSink(session);
    if (!sink.found) return false;
    value = FromPulseVolume(pa_cvolume_max(&sink.volume));
    return true;
}

bool PulseMasterVolume::Set(uint32_t value) {
    Session session;
    SinkVolume sink = ReadDefaultSink(session);
    if (!sink.found) return false;
    pa_cvolume_scale(&sink.volume, ToPulseVolume(value));
    bool accepted = false;
    return session.Complete(pa_context_set_sink_volume_by_name(
               session.Context(), kDefaultSink, &sink.volume, &OnSuccess, &accepted)) &&
           accepted;
}

}  // namespace platform
