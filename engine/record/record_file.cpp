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
// Highest sample rate a sound device takes; a header claiming more describes no playable audio.
constexpr uint32_t kMaxSampleRate = 384000;

bool IsPlayableFrame(const FrameHeader& frame) {
    // An empty payload would reach the decoder as a zero-size packet, which it takes as the end of
    // the stream; frames of an unknown kind belong to no stream.
    bool knownKind = frame.kind == kKindAudio || frame.kind == kKindVideoKey || frame.kind == kKindVideoDelta;
    return knownKind && frame.payloadSize > 0;
}

// Steps from the previous unwrapped time to the time of day of stamp by the shorter way round the
// clock, so a recording that runs over midnight keeps rising instead of falling back by a day.
int64_t UnwrapTimeOfDay(int64_t previousMs, uint64_t stampMs) {
    const int64_t day = int64_t(kMsPerDay);
    int64_t previousTimeOfDay = ((previousMs % day) + day) % day;
    int64_t step = int64_t(stampMs % kMsPerDay) - previousTimeOfDay;
    if (step > day / 2) step -= day;
    if (step <= -day / 2) step += day;
    return previousMs + step;
}

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
    m_nDuration = 0;
    m_nAudioBase = m_nVideoBase = 0;
    m_bAudioFirst = m_bVideoFirst = 1;
    m_nReadPosition = 0;
    m_seekIndex.clear();
    m_nClockMs = 0;
    m_bClockStarted = 0;
    m_nIndexBaseMs = 0;
    m_nKnownSize = 0;
}

bool CRecordFile::Open(const char* path, PosixReadFile::Sharing sharing) {
    Close();
    ResetState();
    if (!path || !*path) return false;
    if (!m_file.Open(path, sharing)) return false;
    m_nKnownSize = m_file.Size();
    uint8_t header[kFileHeaderSize];
    if (m_nKnownSize < kFileHeaderSize || m_file.ReadAt(0, header, sizeof header) != sizeof header ||
        LoadLe32(header) != kMagic) {
        m_file.Close();
        return false;
    }
    m_bOpen = 1;
    ReadStreamDescription(header);
    BuildSeekIndex();
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

bool CRecordFile::ReadFrameHeaderAt(uint64_t offset, FrameHeader* frame) {
    uint8_t bytes[kFrameHeaderSize];
    if (m_file.ReadAt(offset, bytes, sizeof bytes) != sizeof bytes) return false;
    *frame = DecodeFrameHeader(bytes);
    return true;
}

// A payload that reaches past the end of the file is the end of the data: nothing is allocated
// for it, and a recording still being written shows the frame once its bytes are there.
bool CRecordFile::PayloadFitsFile(uint64_t headerOffset, uint32_t payloadSize) {
    if (payloadSize > kMaxPayloadBytes) return false;
    uint64_t end = headerOffset + kFrameHeaderSize + payloadSize;
    if (end > m_nKnownSize) m_nKnownSize = m_file.Size();
    return end <= m_nKnownSize;
}

int64_t CRecordFile::NextClockMs(uint64_t stampMs) {
    m_nClockMs = m_bClockStarted ? UnwrapTimeOfDay(m_nClockMs, stampMs) : int64_t(stampMs % kMsPerDay);
    m_bClockStarted = 1;
    return m_nClockMs;
}

// Hops from frame header to frame header without reading payloads. Index times count from the
// first key frame (from the first frame when there is none); the duration runs to the last
// complete frame. The stream bases are taken here too, so packet times are right even when the
// first read follows a seek.
void CRecordFile::BuildSeekIndex() {
    uint64_t position = kFileHeaderSize;
    bool anyFrame = false, anyKeyFrame = false;
    int64_t firstMs = 0, lastMs = 0;
    FrameHeader frame;
    while (ReadFrameHeaderAt(position, &frame) && PayloadFitsFile(position, frame.payloadSize)) {
        if (IsPlayableFrame(frame)) {
            int64_t nowMs = NextClockMs(frame.timeMs);
            if (!anyFrame) firstMs = nowMs;
            anyFrame = true;
            lastMs = nowMs;
            if (frame.kind == kKindAudio && m_bAudioFirst) {
                m_nAudioBase = nowMs;
                m_bAudioFirst = 0;
            } else if (frame.kind != kKindAudio && m_bVideoFirst) {
                m_nVideoBase = nowMs;
                m_bVideoFirst = 0;
            }
            if (frame.kind == kKindVideoKey) {
                if (!anyKeyFrame) m_nIndexBaseMs = nowMs;
                anyKeyFrame = true;
                int64_t sinceBase = nowMs - m_nIndexBaseMs;
                m_seekIndex.push_back({uint64_t(sinceBase > 0 ? sinceBase : 0), position});
            }
        }
        position += kFrameHeaderSize + frame.payloadSize;
    }
    if (!anyKeyFrame) m_nIndexBaseMs = firstMs;
    // One origin for both streams, the earlier of their first frames: sound that starts before
    // or after the pictures keeps that gap instead of being pulled onto them. The duration counts
    // from it, so the position reaches the duration at the last frame.
    int64_t originMs = firstMs;
    if (!m_bAudioFirst && !m_bVideoFirst) originMs = std::min(m_nAudioBase, m_nVideoBase);
    else if (!m_bAudioFirst || !m_bVideoFirst) originMs = m_bAudioFirst ? m_nVideoBase : m_nAudioBase;
    if (anyFrame) {
        m_nAudioBase = m_nVideoBase = originMs;
        m_bAudioFirst = m_bVideoFirst = 0;
    }
    m_nDuration = anyFrame && lastMs > originMs ? uint64_t(lastMs - originMs) : 0;
    m_bClockStarted = 0;
}

AVPacket* CRecordFile::ReadFrame() {
    if (!m_bOpen) return nullptr;
    if (m_nReadPosition == 0) m_nReadPosition = kFileHeaderSize;
    FrameHeader frame;
    while (ReadFrameHeaderAt(m_nReadPosition, &frame) && PayloadFitsFile(m_nReadPosition, frame.payloadSize)) {
        if (IsPlayableFrame(frame)) {
            AVPacket* packet = MakePacket(frame, m_nReadPosition);
            if (packet) m_nReadPosition += kFrameHeaderSize + frame.payloadSize;
            return packet;
        }
        m_nReadPosition += kFrameHeaderSize + frame.payloadSize;
    }
    return nullptr;
}

AVPacket* CRecordFile::MakePacket(const FrameHeader& frame, uint64_t headerOffset) {
    AVPacket* packet = av_packet_alloc();
    uint8_t* payload = AllocPayload(frame.payloadSize);
    if (!packet || !payload ||
        m_file.ReadAt(headerOffset + kFrameHeaderSize, payload, frame.payloadSize) != frame.payloadSize) {
        FreePayload(payload);
        av_packet_free(&packet);
        return nullptr;
    }
    packet->data = payload;
    packet->size = int(frame.payloadSize);

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

bool CRecordFile::SeekTo(uint64_t targetMs) {
    if (!m_bOpen || m_seekIndex.size() < 2) return false;
    for (size_t i = 0; i + 1 < m_seekIndex.size(); ++i) {
        if (m_seekIndex[i].time <= targetMs && targetMs <= m_seekIndex[i + 1].time) {
            m_nReadPosition = m_seekIndex[i].offset;
            // Times after the jump continue from the key frame's place on the unwrapped clock.
            m_nClockMs = m_nIndexBaseMs + int64_t(m_seekIndex[i].time);
            m_bClockStarted = 1;
            return true;
        }
    }
    return false;
}

bool CRecordFile::SeekToKeyFrameAtOrBefore(int64_t videoMs) {
    if (!m_bOpen || m_seekIndex.empty()) return false;
    // Index times count from the first key frame, packet times from the first video frame.
    const int64_t indexMs = videoMs - (m_nIndexBaseMs - m_nVideoBase);
    size_t chosen = 0;
    for (size_t i = 1; i < m_seekIndex.size() && int64_t(m_seekIndex[i].time) <= indexMs; ++i) chosen = i;
    m_nReadPosition = m_seekIndex[chosen].offset;
    m_nClockMs = m_nIndexBaseMs + int64_t(m_seekIndex[chosen].time);
    m_bClockStarted = 1;
    return true;
}

int64_t CRecordFile::VideoToAudioMs(int64_t videoMs) const { return videoMs + m_nVideoBase - m_nAudioBase; }

uint64_t CRecordFile::GetDuration() const { return m_nDuration; }

bool CRecordFile::WaitIndexComplete(uint32_t) { return true; }
bool CRecordFile::IsIndexComplete() const { return true; }
bool CRecordFile::MayGrow() const { return false; }
std::vector<CRecordFile::_tagFileSeek> CRecordFile::GetSeekIndex() const { return m_seekIndex; }

void CRecordFile::Close() {
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

void CRecordFile::FreePayload(uint8_t* data) { av_free(data); }
