#include "platform/pulse_audio_device.h"

#include <pulse/pulseaudio.h>

namespace platform {

namespace {

// A server that is there answers within milliseconds; a missing socket fails at once. The
// bound only matters for a server that accepts the connection and then hangs.
constexpr uint32_t kConnectTimeoutMs = 2000;
// Total latency asked of the server (stream buffer plus sink). Well below the writer's five
// blocks of 20 ms and more, so waiting for done blocks never starves the sink.
constexpr pa_usec_t kTargetLatencyUs = 40 * PA_USEC_PER_MSEC;
// How often the server's read index is fetched while blocks are pending: a fifth of the
// writer's 50 ms look-again interval.
constexpr pa_usec_t kPollIntervalUs = 10 * PA_USEC_PER_MSEC;

pa_sample_spec ToSampleSpec(const PcmFormat& format) {
    pa_sample_spec sampleSpec{};
    sampleSpec.format = PA_SAMPLE_S16LE;
    sampleSpec.rate = format.samplesPerSec;
    sampleSpec.channels = static_cast<uint8_t>(format.channels);
    return sampleSpec;
}

bool IsPlayable(const PcmFormat& format) {
    if (format.channels == 0 || format.channels > PA_CHANNELS_MAX) return false;
    const pa_sample_spec sampleSpec = ToSampleSpec(format);
    return pa_sample_spec_valid(&sampleSpec) != 0;
}

struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed = false;
};

void OnDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* deadline) {
    auto* d = static_cast<Deadline*>(deadline);
    d->passed = true;
    pa_threaded_mainloop_signal(d->loop, 0);
}

}  // namespace

std::unique_ptr<AudioDevice> CreateSystemAudioDevice() {
    return std::make_unique<PulseAudioDevice>();
}

PulseAudioDevice::~PulseAudioDevice() { Close(); }

bool PulseAudioDevice::Open(const PcmFormat& format, BlockDone onBlockDone) {
    Close();
    if (!IsPlayable(format)) return false;
    m_format = format;
    m_onBlockDone = std::move(onBlockDone);
    m_loop = pa_threaded_mainloop_new();
    if (!m_loop) return false;
    if (pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
        return false;
    }
    pa_threaded_mainloop_lock(m_loop);
    const bool connected = ConnectContext() && ConnectStream();
    pa_threaded_mainloop_unlock(m_loop);
    if (!connected) Close();
    return connected;
}

bool PulseAudioDevice::Write(const uint8_t* data, size_t bytes, uintptr_t tag) {
    if (!m_loop || !data || bytes == 0 || bytes % m_format.FrameBytes() != 0) return false;
    pa_threaded_mainloop_lock(m_loop);
    const bool written = m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY &&
                         pa_stream_write(m_stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
    if (written) {
        m_writtenBytes += static_cast<int64_t>(bytes);
        m_pending.push_back({m_writtenBytes, tag});
        StartPolling();
    }
    pa_threaded_mainloop_unlock(m_loop);
    return written;
}

// A flushed stream leaves the client's idea of the write index behind the server's, which
// would break the block positions; a fresh stream starts both at zero again. The clock counts
// the dropped sound as played, so that it stays a measure of everything written.
void PulseAudioDevice::Reset() {
    if (!m_loop) return;
    pa_threaded_mainloop_lock(m_loop);
    const uint64_t bytesPerSecond = uint64_t{m_format.samplesPerSec} * m_format.FrameBytes();
    m_playedBeforeResetUs += static_cast<uint64_t>(m_writtenBytes) * PA_USEC_PER_SEC / bytesPerSecond;
    DisconnectStream();
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY) ConnectStream();
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseAudioDevice::Close() {
    if (!m_loop) return;
    pa_threaded_mainloop_lock(m_loop);
    DisconnectStream();
    DisconnectContext();
    pa_threaded_mainloop_unlock(m_loop);
    // Stopping joins the loop thread, so no callback can run once the loop is freed.
    pa_threaded_mainloop_stop(m_loop);
    std::lock_guard<std::mutex> lifetime(m_loopLifetime);
    pa_threaded_mainloop_free(m_loop);
    m_loop = nullptr;
    m_onBlockDone = nullptr;
    m_playedBeforeResetUs = 0;
}

int64_t PulseAudioDevice::PlayedMs() const {
    std::lock_guard<std::mutex> lifetime(m_loopLifetime);
    if (!m_loop) return -1;
    pa_threaded_mainloop_lock(m_loop);
    pa_usec_t streamUs = 0;
    const bool known = m_stream && pa_stream_get_time(m_stream, &streamUs) == 0;
    const uint64_t totalUs = m_playedBeforeResetUs + (known ? streamUs : 0);
    pa_threaded_mainloop_unlock(m_loop);
    if (!known && m_playedBeforeResetUs == 0) return -1;
    return static_cast<int64_t>(totalUs / PA_USEC_PER_MSEC);
}

// A stream whose muting we control is kept apart in the server's memory of stream states, so that
// a silenced stream never teaches it to silence the player's next ordinary stream.
pa_stream* PulseAudioDevice::NewStream(const pa_sample_spec& sampleSpec, const pa_channel_map& map) {
    if (!m_muteControlled) return pa_stream_new(m_context, m_streamName.c_str(), &sampleSpec, &map);
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, m_streamName.c_str());
    pa_proplist_sets(properties, "module-stream-restore.id", "telvane-side-by-side");
    pa_stream* stream = pa_stream_new_with_proplist(m_context, m_streamName.c_str(), &sampleSpec, &map, properties);
    pa_proplist_free(properties);
    return stream;
}

void PulseAudioDevice::SetMuted(bool muted) {
    m_muteControlled = true;
    m_muted = muted;
    if (!m_loop) return;
    pa_threaded_mainloop_lock(m_loop);
    if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        pa_operation* change =
            pa_context_set_sink_input_mute(m_context, pa_stream_get_index(m_stream), muted ? 1 : 0, nullptr, nullptr);
        if (change) pa_operation_unref(change);
    }
    pa_threaded_mainloop_unlock(m_loop);
}

bool PulseAudioDevice::ConnectContext() {
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Telvane");
    if (!m_context) return false;
    pa_context_set_state_callback(m_context, &OnContextState, this);
    // No autospawn: a player must not start a sound server behind the user's back.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
    return WaitUntil(&PulseAudioDevice::ContextSettled, kConnectTimeoutMs) &&
           pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseAudioDevice::ConnectStream() {
    const pa_sample_spec sampleSpec = ToSampleSpec(m_format);
    pa_channel_map map;
    // Counts without a standard layout get auxiliary positions instead of failing.
    pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
    m_stream = NewStream(sampleSpec, map);
    if (!m_stream) return false;
    m_writtenBytes = 0;
    pa_stream_set_state_callback(m_stream, &OnStreamState, this);

    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &sampleSpec));
    // One frame of pre-buffer: playback starts with the first block, and an underrun pauses the
    // stream until more arrives instead of running the read index past what was written.
    attr.prebuf = static_cast<uint32_t>(m_format.FrameBytes());
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(-1);
    auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE);
    if (m_muteControlled)
        flags = static_cast<pa_stream_flags_t>(flags | (m_muted ? PA_STREAM_START_MUTED : PA_STREAM_START_UNMUTED));
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
        return false;
    if (!WaitUntil(&PulseAudioDevice::StreamSettled, kConnectTimeoutMs) ||
        pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return false;
    m_pollTimer = pa_context_rttime_new(m_context, PA_USEC_INVALID, &OnPollTimer, this);
    return m_pollTimer != nullptr;
}

void PulseAudioDevice::DisconnectStream() {
    if (m_pollTimer) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_pollTimer);
        m_pollTimer = nullptr;
    }
    m_polling = false;
    if (m_timingRequest) {
        pa_operation_cancel(m_timingRequest);
        pa_operation_unref(m_timingRequest);
        m_timingRequest = nullptr;
    }
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))) pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    ReturnAllBlocks();
}

void PulseAudioDevice::DisconnectContext() {
    if (!m_context) return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// The threaded loop's wait has no time-out of its own; a timer on the loop wakes it instead.
bool PulseAudioDevice::WaitUntil(bool (PulseAudioDevice::*finished)() const, uint32_t timeoutMs) {
    Deadline deadline{m_loop};
    pa_time_event* timer = pa_context_rttime_new(
        m_context, pa_rtclock_now() + timeoutMs * PA_USEC_PER_MSEC, &OnDeadline, &deadline);
    if (!timer) return false;
    while (!(this->*finished)() && !deadline.passed) pa_threaded_mainloop_wait(m_loop);
    pa_threaded_mainloop_get_api(m_loop)->time_free(timer);
    return (this->*finished)();
}

bool PulseAudioDevice::ContextSettled() const {
    const pa_context_state_t state = pa_context_get_state(m_context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
}

bool PulseAudioDevice::StreamSettled() const {
    const pa_stream_state_t state = pa_stream_get_state(m_stream);
    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
}

void PulseAudioDevice::StartPolling() {
    if (m_polling || !m_pollTimer) return;
    m_polling = true;
    pa_context_rttime_restart(m_context, m_pollTimer, pa_rtclock_now() + kPollIntervalUs);
}

void PulseAudioDevice::RequestTimingUpdate() {
    if (m_timingRequest) {
        if (pa_operation_get_state(m_timingRequest) == PA_OPERATION_RUNNING) return;
        pa_operation_unref(m_timingRequest);
    }
    m_timingRequest = pa_stream_update_timing_info(m_stream, &OnTimingInfo, this);
}

void PulseAudioDevice::ReturnPlayedBlocks(int64_t readIndexBytes) {
    while (!m_pending.empty() && m_pending.front().endByte <= readIndexBytes) {
        const uintptr_t tag = m_pending.front().tag;
        m_pending.pop_front();
        if (m_onBlockDone) m_onBlockDone(tag);
    }
}

void PulseAudioDevice::ReturnAllBlocks() {
    while (!m_pending.empty()) {
        const uintptr_t tag = m_pending.front().tag;
        m_pending.pop_front();
        if (m_onBlockDone) m_onBlockDone(tag);
    }
}

void PulseAudioDevice::OnContextState(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<PulseAudioDevice*>(self)->m_loop, 0);
}

void PulseAudioDevice::OnStreamState(pa_stream* stream, void* self) {
    auto* device = static_cast<PulseAudioDevice*>(self);
    // A failed stream will never play what it holds: hand every block back so that no writer
    // waits for it.
    if (stream == device->m_stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        device->ReturnAllBlocks();
    pa_threaded_mainloop_signal(device->m_loop, 0);
}

void PulseAudioDevice::OnPollTimer(pa_mainloop_api*, pa_time_event* timer, const timeval*,
                                   void* self) {
    auto* device = static_cast<PulseAudioDevice*>(self);
    if (device->m_pending.empty()) {
        device->m_polling = false;
        return;
    }
    device->RequestTimingUpdate();
    pa_context_rttime_restart(device->m_context, timer, pa_rtclock_now() + kPollIntervalUs);
}

void PulseAudioDevice::OnTimingInfo(pa_stream* stream, int success, void* self) {
    auto* device = static_cast<PulseAudioDevice*>(self);
    if (stream != device->m_stream || !success) return;
    const pa_timing_info* timing = pa_stream_get_timing_info(stream);
    if (timing && !timing->read_index_corrupt) device->ReturnPlayedBlocks(timing->read_index);
}

}  // namespace platform
