#pragma once
// The PulseAudio backend of the audio device: one playback stream on a threaded main loop.
// A block is done once the server's read index has passed its end, that is when the server has
// taken it from the stream's buffer and played it into the sink. The stream asks the server for
// a short total latency, so what has been played is heard a few tens of milliseconds later at
// most, and a writer that waits for done blocks stays a fixed number of blocks ahead of the
// loudspeaker.

#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "platform/audio_device.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_sample_spec;
struct pa_channel_map;
struct pa_time_event;
struct pa_operation;
struct pa_mainloop_api;
struct timeval;

namespace platform {

class PulseAudioDevice final : public AudioDevice {
public:
    PulseAudioDevice() = default;
    ~PulseAudioDevice() override;
    PulseAudioDevice(const PulseAudioDevice&) = delete;
    PulseAudioDevice& operator=(const PulseAudioDevice&) = delete;

    bool Open(const PcmFormat& format, BlockDone onBlockDone) override;
    bool Write(const uint8_t* data, size_t bytes, uintptr_t tag) override;
    void Reset() override;
    void Close() override;
    int64_t PlayedMs() const override;
    // The server mutes the stream's sink input; a stream connected later starts muted.
    void SetMuted(bool muted) override;
    void SetStreamName(const std::string& name) override { m_streamName = name; }

private:
    struct PendingBlock {
        int64_t endByte;  // stream byte position just after the block
        uintptr_t tag;
    };

    // All of these run with the main-loop lock held.
    bool ConnectContext();
    bool ConnectStream();
    pa_stream* NewStream(const pa_sample_spec& sampleSpec, const pa_channel_map& map);
    void DisconnectStream();
    void DisconnectContext();
    bool WaitUntil(bool (PulseAudioDevice::*finished)() const, uint32_t timeoutMs);
    bool ContextSettled() const;
    bool StreamSettled() const;
    void StartPolling();
    void RequestTimingUpdate();
    void ReturnPlayedBlocks(int64_t readIndexBytes);
    void ReturnAllBlocks();

    // Main-loop callbacks.
    static void OnContextState(pa_context* context, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnPollTimer(pa_mainloop_api* api, pa_time_event* timer, const timeval* due,
                            void* self);
    static void OnTimingInfo(pa_stream* stream, int success, void* self);

    PcmFormat m_format;
    BlockDone m_onBlockDone;
    // Freed by Close while another thread may ask PlayedMs: both hold m_loopLifetime around it.
    mutable std::mutex m_loopLifetime;
    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    pa_time_event* m_pollTimer = nullptr;
    pa_operation* m_timingRequest = nullptr;
    bool m_polling = false;
    std::deque<PendingBlock> m_pending;  // in write order
    int64_t m_writtenBytes = 0;          // since the current stream was connected
    uint64_t m_playedBeforeResetUs = 0;  // written to streams that Reset replaced
    std::atomic<bool> m_muted{false};    // read by ConnectStream on the writer's thread
    std::atomic<bool> m_muteControlled{false};  // SetMuted was called: streams start as it says
    std::string m_streamName = "Telvane playback";  // set before Open, read by ConnectStream
};

}  // namespace platform
