#include "engine/activity_scan.h"

#include <memory>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include "engine/record/record_file.h"

namespace {

struct FormatRelease {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

// The packet's decoding time: in decoding order it rises, where presentation times jump about
// with B-frames.
int64_t PacketMs(const AVPacket* packet, const AVStream* stream, int64_t originMs) {
    const int64_t stamp = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    if (stamp == AV_NOPTS_VALUE) return INT64_MIN;
    return av_rescale_q(stamp, stream->time_base, AVRational{1, 1000}) - originMs;
}

}  // namespace

CContainerActivityScan::~CContainerActivityScan() { Stop(); }

bool CContainerActivityScan::Start(const std::string& path) {
    if (m_thread.IsStarted()) return false;
    m_stop = false;
    return m_thread.Start([this, path] { ScanNow(path); });
}

void CContainerActivityScan::Stop() {
    m_stop = true;
    m_thread.Join();
}

bool CContainerActivityScan::ScanNow(const std::string& path) {
    m_finder.Reset();
    AVFormatContext* opened = nullptr;
    if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return false;
    std::unique_ptr<AVFormatContext, FormatRelease> context(opened);
    if (avformat_find_stream_info(context.get(), nullptr) < 0) return false;
    const int video = av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return false;
    const AVStream* stream = context->streams[video];
    const int64_t startUs = context->start_time;
    const int64_t originMs = startUs != AV_NOPTS_VALUE ? av_rescale(startUs, 1000, AV_TIME_BASE) : 0;
    AVPacket* packet = av_packet_alloc();
    if (!packet) return false;
    while (!m_stop && av_read_frame(context.get(), packet) >= 0) {
        const int64_t timeMs = PacketMs(packet, stream, originMs);
        if (packet->stream_index == video && timeMs != INT64_MIN) {
            m_finder.AddFrame(timeMs, true, (packet->flags & AV_PKT_FLAG_KEY) != 0, uint32_t(packet->size),
                              (packet->flags & AV_PKT_FLAG_CORRUPT) != 0);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    if (!m_stop) m_finder.Finish();
    return true;
}

ActivityTimeline FindActivity(const char* path, uint32_t timeoutMs) {
    if (!path) return {};
    if (IsRecordFile(path)) {
        CRecordFile file;
        if (!file.Open(path, PosixReadFile::Sharing::Shared)) return {};
        file.WaitIndexComplete(timeoutMs);
        ActivityTimeline timeline = file.GetActivity();
        file.Close();
        return timeline;
    }
    CContainerActivityScan scan;
    if (!scan.ScanNow(path)) return {};
    return scan.Timeline();
}
