#include "engine/record/record_file.h"

#include <algorithm>

#include <climits>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

using namespace record_format;

namespace {

// Largest payload that fits a packet: its size is an int and the padding follows the data.
constexpr uint32_t kMaxPayloadBytes = uint32_t(INT_MAX) - AV_INPUT_BUFFER_PADDING_SIZE;
// A seek beyond what the index has reached gives the indexer this long before the file is
// scanned, and at most the second wait after a scan that found nothing.
constexpr uint32_t kSeekWaitMs = 50;
constexpr uint32_t kSeekLongWaitMs = 2000;
// A file written to within this long may still be growing: its reader waits at the end of the data.
constexpr uint64_t kGrowingQuietMs = 3000;
// Highest sample rate a sound device takes; a header claiming more describes no playable audio.
constexpr uint32_t kMaxSampleRate = 384000;

int AsNonNegativeInt(uint32_t value) { return value > uint32_t(INT_MAX) ? 0 : int(value); }

size_t Utf8CharacterCount(const char* text) {
    size_t count = 0;
    for (const char* p = text; *p; ++p) {
        if ((static_cast<unsigned char>(*p) & 0xC0) != 0x80) ++count;
    }
    return count;
}

}  // namespace

bool IsRecordFile(const char* path) {
    if (!path || Utf8CharacterCount(path) < 5) return false;
    PosixReadFile file;
    if (!file.Open(path, PosixReadFile::Sharing::Shared) || file.Size() == 0) return false;
    uint8_t header[kFileHeaderSize];
    return file.ReadAt(0, header, sizeof header) == sizeof header && LoadLe32(header) == kMagic;
}

CRecordFile::CRecordFile() = default;

CRecordFile::~CRecordFile() { Close(); }

void CRecordFile::ResetState() {
    m_nVideoCodec = m_nWidth = m_nHeight = 0;
    m_nAudioCodec = m_nSampleRate = m_nChannels = 0;
    m_nAudioBase = m_nVideoBase = 0;
    m_bAudioFirst = m_bVideoFirst = 1;
    m_reader.MoveTo(kFileHeaderSize);
    m_nClockMs = 0;
    m_bClockStarted = 0;
    m_nIndexBaseMs = 0;
}

bool CRecordFile::Open(const char* path, PosixReadFile::Sharing sharing) {
    Close();
    ResetState();
    if (!path || !*path) return false;
    if (!m_file.Open(path, sharing)) return false;
    uint8_t header[kFileHeaderSize];
    if (m_file.Size() < kFileHeaderSize || m_file.ReadAt(0, header, sizeof header) != sizeof header ||
        LoadLe32(header) != kMagic) {
        m_file.Close();
        return false;
    }
    m_bOpen = 1;
    m_nSizeAtOpen = m_file.Size();
    ReadStreamDescription(header);
    m_indexer.Begin(m_file);
    // Packet times count from one origin, so they are right even when the first read follows a
    // seek; the index counts from the first key frame.
    if (m_indexer.AnyFrame()) {
        m_nAudioBase = m_nVideoBase = m_indexer.OriginMs();
        m_bAudioFirst = m_bVideoFirst = 0;
    }
    m_nIndexBaseMs = m_indexer.IndexBaseMs();
    m_indexer.Start(m_file);
    return true;
}

void CRecordFile::ReadStreamDescription(const uint8_t* headerBytes) {
    const FileHeader header = DecodeFileHeader(headerBytes);
    m_nVideoCodec = header.videoCodec == kVideoHevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
    m_nWidth = AsNonNegativeInt(header.width);
    m_nHeight = AsNonNegativeInt(header.height);
    if (!header.HasAudio() || header.sampleRate == 0 || header.sampleRate > kMaxSampleRate) return;
    switch (header.audioCodec) {
        case kAudioMulaw: m_nAudioCodec = AV_CODEC_ID_PCM_MULAW; m_nChannels = 1; break;
        case kAudioAlaw: m_nAudioCodec = AV_CODEC_ID_PCM_ALAW; m_nChannels = 1; break;
        case kAudioAac: m_nAudioCodec = AV_CODEC_ID_AAC; m_nChannels = 2; break;
        default: return;
    }
    m_nSampleRate = int(header.sampleRate);
}

bool CRecordFile::GetOriginStamp(uint64_t* stampMs) const {
    if (!m_indexer.AnyFrame()) return false;
    *stampMs = m_indexer.OriginStampMs();
    return true;
}

int64_t CRecordFile::NextClockMs(uint64_t stampMs) {
    m_nClockMs = m_bClockStarted ? UnwrapTimeOfDay(m_nClockMs, stampMs) : int64_t(stampMs % kMsPerDay);
    m_bClockStarted = 1;
    return m_nClockMs;
}

AVPacket* CRecordFile::ReadFrame() {
    if (!m_bOpen) return nullptr;
    LocatedFrame frame;
    while (m_reader.Next(&frame)) {
        if (!IsPlayableFrame(frame.header)) continue;
        AVPacket* packet = MakePacket(frame.header, frame.offset);
        // Not consumed: the same call tries the frame again.
        if (!packet) m_reader.MoveTo(frame.offset);
        return packet;
    }
    return nullptr;
}

AVPacket* CRecordFile::MakePacket(const FrameHeader& frame, uint64_t headerOffset) {
    AVPacket* packet = av_packet_alloc();
    uint8_t* payload = AllocPayload(frame.payloadSize);
    // The payload is an av_malloc block with zeroed padding, which is what a packet buffer is: the
    // packet takes it over as a counted reference and frees it by the usual rules.
    if (!packet || !payload ||
        m_file.ReadAt(headerOffset + kFrameHeaderSize, payload, frame.payloadSize) != frame.payloadSize ||
        av_packet_from_data(packet, payload, int(frame.payloadSize)) < 0) {
        av_free(payload);
        av_packet_free(&packet);
        return nullptr;
    }

    int64_t nowMs = NextClockMs(frame.timeMs);
    bool audio = frame.kind == kKindAudio;
    int& first = audio ? m_bAudioFirst : m_bVideoFirst;
    int64_t& base = audio ? m_nAudioBase : m_nVideoBase;
    if (first) {
        base = nowMs;
        first = 0;
    }
    packet->pts = packet->dts = nowMs - base;
    packet->stream_index = audio ? 1 : 0;
    if (frame.kind == kKindVideoKey) packet->flags |= AV_PKT_FLAG_KEY;
    return packet;
}

void CRecordFile::JumpTo(const _tagFileSeek& entry) {
    m_reader.MoveTo(entry.offset);
    // Times after the jump continue from the key frame's place on the unwrapped clock.
    m_nClockMs = m_nIndexBaseMs + int64_t(entry.time);
    m_bClockStarted = 1;
}

bool CRecordFile::SeekTo(uint64_t targetMs) {
    if (!m_bOpen) return false;
    m_indexer.WaitCovers(int64_t(std::min<uint64_t>(targetMs, INT64_MAX)), kSeekLongWaitMs);
    m_nIndexBaseMs = m_indexer.IndexBaseMs();
    _tagFileSeek entry{};
    if (!m_indexer.EntryForInterval(targetMs, &entry)) return false;
    JumpTo(entry);
    return true;
}

bool CRecordFile::SeekToKeyFrameAtOrBefore(int64_t videoMs) {
    if (!m_bOpen) return false;
    m_nIndexBaseMs = m_indexer.IndexBaseMs();
    // Index times count from the first key frame, packet times from the first video frame.
    const int64_t indexMs = videoMs - (m_nIndexBaseMs - m_nVideoBase);
    _tagFileSeek entry{};
    if (!m_indexer.WaitCovers(indexMs, kSeekWaitMs)) {
        if (m_indexer.ScanForKeyFrame(m_file, indexMs, &entry)) {
            JumpTo(entry);
            return true;
        }
        // Failing that the index's answer is still right, if further back than it could be.
        m_indexer.WaitCovers(indexMs, kSeekLongWaitMs);
    }
    if (!m_indexer.EntryAtOrBefore(indexMs, &entry)) return false;
    JumpTo(entry);
    return true;
}

int64_t CRecordFile::VideoToAudioMs(int64_t videoMs) const { return videoMs + m_nVideoBase - m_nAudioBase; }

uint64_t CRecordFile::GetDuration() const { return m_indexer.DurationMs(); }

bool CRecordFile::WaitIndexComplete(uint32_t timeoutMs) { return m_indexer.WaitComplete(timeoutMs); }
bool CRecordFile::IsIndexComplete() const { return m_indexer.IsComplete(); }

// A file that has not changed since it was opened is taken as finished, however recently it was
// written, so a recording just copied or cut ends as soon as it is read to its end.
bool CRecordFile::MayGrow() const {
    return m_bOpen && m_file.Size() != m_nSizeAtOpen && m_file.MsSinceModified() < kGrowingQuietMs;
}

bool CRecordFile::WrittenRecently() const { return m_bOpen && m_file.MsSinceModified() < kGrowingQuietMs; }

std::vector<CRecordFile::_tagFileSeek> CRecordFile::GetSeekIndex() const { return m_indexer.Snapshot(); }

void CRecordFile::Close() {
    m_indexer.Stop();
    m_file.Close();
    m_bOpen = 0;
}

bool CRecordFile::IsOpen() const { return m_bOpen != 0; }
int CRecordFile::GetVideoCodec() const { return m_nVideoCodec; }
int CRecordFile::GetWidth() const { return m_nWidth; }
int CRecordFile::GetHeight() const { return m_nHeight; }
int CRecordFile::GetAudioCodec() const { return m_nAudioCodec; }
int CRecordFile::GetSampleRate() const { return m_nSampleRate; }
int CRecordFile::GetChannels() const { return m_nChannels; }

uint8_t* CRecordFile::AllocPayload(uint32_t size) {
    if (size > kMaxPayloadBytes) return nullptr;
    auto* data = static_cast<uint8_t*>(av_malloc(size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (data) std::memset(data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return data;
}
