// The opening of a session on arbitrary bytes: FFmpeg probes the file, and the session picks its
// streams, opens the decoders from what the probe found (codecs, time bases, sizes, rates),
// starts the renderer and the sound output, and is stopped again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

#include "engine/player_core.h"
#include "fuzz/memory_file.h"
#include "platform/offscreen_video_target.h"
#include "platform/recording_window.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    // No sound server to wait for: the session then plays silently, as on such a machine.
    setenv("PULSE_SERVER", "unix:/nonexistent/telvane-fuzz", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static platform::OffscreenVideoTarget target(320, 240);
    static platform::RecordingWindow notify;
    MemoryFile file(data, size);
    if (file.Path().empty()) return 0;
    CPlayerCore session;
    session.Attach(target.Handle(), notify.Handle());
    if (session.OpenFile(file.Path().c_str())) {
        (void)session.GetDuration();
        session.StopPlay();
    }
    return 0;
}
