// The session's operations, opening and closing. The worker bodies live in player_core_read.cpp,
// player_core_video.cpp, player_core_sync.cpp and player_core_audio.cpp.

#include "engine/player_core.h"

#include <algorithm>
#include <new>

#include "engine/activity_scan.h"
#include "engine/audio/sound_out.h"
#include "engine/packet_disposal.h"
#include "engine/packet_queue.h"
#include "engine/record/record_file.h"
#include "engine/recorded_clock_source.h"
#include "engine/render/d3d_render.h"
#include "engine/snapshot/snapshot_exif.h"
#include "engine/snapshot/snapshot_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr uint32_t kCloseSettleMs = 600;
constexpr int kLastSpeedCode = 4;
constexpr AVRational kMilliseconds{1, 1000};
// Recording decoders are told these packet time bases; the packets themselves carry ms.
constexpr AVRational kRecordingVideoTimeBase{40, 1000};
constexpr AVRational kRecordingAudioTimeBase{1, 8000};

bool IsUsableTimeBase(AVRational timeBase) { return timeBase.num > 0 && timeBase.den > 0; }

// Frame and slice threads, as many as there are cores: one thread cannot decode 1080p pictures
// at four times their rate.
void UseDecoderThreads(AVCodecContext* context) {
#if defined(__SANITIZE_THREAD__)
    // The decoder's own threads hand pictures over through atomics in a library the race checker
    // does not see into, so every picture would be reported; the race build decodes on one thread.
    context->thread_count = 1;
#else
    context->thread_count = 0;
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
#endif
}

}  // namespace

CPlayerCore::CPlayerCore()
    : m_pRecordFile(new CRecordFile()),
      m_pAudioQueue(new CPacketQueue(INPUT_CONTAINER)),
      m_pVideoQueue(new CPacketQueue(INPUT_CONTAINER)) {}

CPlayerCore::~CPlayerCore() {
    // Workers parked at a closed gate after an OpenFile without Play must end too, not only those
    // of a playing session: none may outlive the storage it uses.
    if (m_bRunning || m_readThread.IsStarted() || m_syncThread.IsStarted() || m_videoThread.IsStarted() ||
        m_audioThread.IsStarted()) {
        CloseStreams();
    }
    m_bRenderReady = 0;
    m_bOpened = 0;
    if (m_pSoundOut) {
        if (m_pSoundOut->IsOpen()) m_pSoundOut->Close();
        delete m_pSoundOut;
        m_pSoundOut = nullptr;
    }
    if (m_pRender) {
        m_pRender->Flush();
        m_pRender->Stop();
        delete m_pRender;
        m_pRender = nullptr;
    }
    ReleaseDecodersAndInput();
    m_pcmConverter.Reset();
    av_frame_free(&m_pSnapFrame);
    delete m_pRecordFile;
    m_pRecordFile = nullptr;
    delete m_pAudioQueue;
    delete m_pVideoQueue;
}

int CPlayerCore::Attach(platform::WindowHandle videoWindow, platform::WindowHandle notifyWindow) {
    if (m_bRunning) return 0;  // the renderer is in use by the workers
    m_hVideoWnd = videoWindow;
    m_hNotifyWnd = notifyWindow;
    delete m_pRender;
    m_pRender = new (std::nothrow) CD3DRender();
    m_bRenderReady = m_pRender && m_pRender->Init(videoWindow) == 0 ? 1 : 0;
    return m_bRenderReady;
}

int CPlayerCore::OpenFile(const char* path) {
    int inputKind = m_nInputKind;
    if (m_pRecordFile && path) inputKind = IsRecordFile(path) ? INPUT_RECORDING : INPUT_CONTAINER;
    if (!path || !m_bRenderReady) return 0;
    if (m_bPlaying) return 0;
    // A session plays one file: a second open would start a second set of workers on the same state.
    if (m_bOpened || m_bRunning || m_bStopped) return 0;
    // Only now: the workers of a file being played dispose of their packets by the kind in force.
    m_nInputKind = inputKind;
    ReleaseDecodersAndInput();  // whatever an earlier failed attempt left behind
    m_pAudioQueue->SetInputKind(m_nInputKind);
    m_pVideoQueue->SetInputKind(m_nInputKind);
    const int opened = m_nInputKind == INPUT_RECORDING ? OpenRecording(path) : OpenContainer(path);
    if (!opened) return 0;
    m_recordedClock = m_nInputKind == INPUT_RECORDING ? RecordingClock(*m_pRecordFile)
                                                      : ContainerClock(m_pFormatCtx, m_nVideoStream);
    m_strFilePath = path;
    if (m_nInputKind == INPUT_CONTAINER) {
        m_pActivityScan = std::make_unique<CContainerActivityScan>();
        m_pActivityScan->Start(m_strFilePath);
    }
    StartWorkers();
    return 1;
}

int CPlayerCore::OpenContainer(const char* path) {
    m_pFormatCtx = avformat_alloc_context();
    if (!m_pFormatCtx) return 0;
    const int openResult = avformat_open_input(&m_pFormatCtx, path, nullptr, nullptr);
    if (openResult < 0) {
        char reason[100];
        av_strerror(openResult, reason, sizeof reason);  // kept for a debugger, never shown
        return 0;
    }
    if (avformat_find_stream_info(m_pFormatCtx, nullptr) < 0) return 0;
    const int64_t startUs = m_pFormatCtx->start_time;
    m_nOriginMs = startUs != AV_NOPTS_VALUE ? av_rescale(startUs, 1000, AV_TIME_BASE) : 0;
    for (unsigned i = 0; i < m_pFormatCtx->nb_streams; ++i) {
        const AVStream* stream = m_pFormatCtx->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) m_nAudioStream = static_cast<int>(i);
        // Cover art is a one-picture "video" stream; it must not take the place of the film.
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            m_nVideoStream = static_cast<int>(i);
        }
    }
    if (m_nVideoStream == -1 || !OpenContainerVideo()) return 0;
    // Pictures without sound play on their own, as recordings without sound do: camera exports
    // and our own converter's output often carry no sound, or sound no decoder here knows.
    if (m_nAudioStream != -1 && !OpenContainerAudio()) {
        avcodec_free_context(&m_pAudioCodecCtx);
        m_pAudioCodec = nullptr;
        m_nAudioStream = -1;
        m_bHasAudio = 0;
    }
    const int64_t durationUs = m_pFormatCtx->duration;
    m_nDurationMs = durationUs > 0 ? av_rescale(durationUs, 1000, AV_TIME_BASE) : 0;
    return 1;
}

int CPlayerCore::OpenContainerVideo() {
    const AVStream* stream = m_pFormatCtx->streams[m_nVideoStream];
    m_pVideoCodec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!m_pVideoCodec) return 0;
    m_pVideoCodecCtx = avcodec_alloc_context3(m_pVideoCodec);
    if (!m_pVideoCodecCtx) return 0;
    if (avcodec_parameters_to_context(m_pVideoCodecCtx, stream->codecpar) < 0) return 0;
    m_pVideoCodecCtx->pkt_timebase = stream->time_base;
    UseDecoderThreads(m_pVideoCodecCtx);
    if (avcodec_open2(m_pVideoCodecCtx, m_pVideoCodec, nullptr) < 0) return 0;
    m_videoClockBase = IsUsableTimeBase(stream->time_base) ? stream->time_base : kMilliseconds;
    const int width = m_pVideoCodecCtx->coded_width > 0 ? m_pVideoCodecCtx->coded_width : m_pVideoCodecCtx->width;
    const int height =
        m_pVideoCodecCtx->coded_height > 0 ? m_pVideoCodecCtx->coded_height : m_pVideoCodecCtx->height;
    return StartRenderer(width, height);
}

int CPlayerCore::OpenContainerAudio() {
    const AVStream* stream = m_pFormatCtx->streams[m_nAudioStream];
    m_pAudioCodec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!m_pAudioCodec) return 0;
    m_pAudioCodecCtx = avcodec_alloc_context3(m_pAudioCodec);
    if (!m_pAudioCodecCtx) return 0;
    if (avcodec_parameters_to_context(m_pAudioCodecCtx, stream->codecpar) < 0) return 0;
    m_pAudioCodecCtx->pkt_timebase = stream->time_base;
    if (avcodec_open2(m_pAudioCodecCtx, m_pAudioCodec, nullptr) < 0) return 0;
    m_audioClockBase = IsUsableTimeBase(stream->time_base) ? stream->time_base : kMilliseconds;
    return OpenSoundOut();
}

int CPlayerCore::OpenRecording(const char* path) {
    if (!m_pRecordFile) return 0;
    if (!m_pRecordFile->Open(path) || !m_pRecordFile->IsOpen()) return 0;
    m_pVideoCodec = avcodec_find_decoder(static_cast<AVCodecID>(m_pRecordFile->GetVideoCodec()));
    if (!m_pVideoCodec) return 0;
    m_pVideoCodecCtx = avcodec_alloc_context3(m_pVideoCodec);
    if (!m_pVideoCodecCtx) return 0;
    m_pVideoCodecCtx->pkt_timebase = kRecordingVideoTimeBase;
    UseDecoderThreads(m_pVideoCodecCtx);
    if (avcodec_open2(m_pVideoCodecCtx, m_pVideoCodec, nullptr) < 0) return 0;
    m_videoClockBase = kMilliseconds;
    if (!StartRenderer(m_pRecordFile->GetWidth(), m_pRecordFile->GetHeight())) return 0;
    m_nVideoStream = 0;
    m_nDurationMs = static_cast<int64_t>(m_pRecordFile->GetDuration());
    const int audioCodec = m_pRecordFile->GetAudioCodec();
    if (audioCodec == 0) return 1;
    m_pAudioCodec = avcodec_find_decoder(static_cast<AVCodecID>(audioCodec));
    if (!m_pAudioCodec) return 0;
    m_pAudioCodecCtx = avcodec_alloc_context3(m_pAudioCodec);
    if (!m_pAudioCodecCtx) return 0;
    m_pAudioCodecCtx->sample_rate = m_pRecordFile->GetSampleRate();
    av_channel_layout_uninit(&m_pAudioCodecCtx->ch_layout);
    av_channel_layout_default(&m_pAudioCodecCtx->ch_layout, m_pRecordFile->GetChannels());
    m_pAudioCodecCtx->pkt_timebase = kRecordingAudioTimeBase;
    if (avcodec_open2(m_pAudioCodecCtx, m_pAudioCodec, nullptr) < 0) return 0;
    m_audioClockBase = kMilliseconds;
    if (!OpenSoundOut()) return 0;
    m_nAudioStream = 1;
    return 1;
}

int CPlayerCore::StartRenderer(int width, int height) {
    if (!m_pRender) {
        m_pRender = new (std::nothrow) CD3DRender();
        if (!m_pRender || m_pRender->Init(m_hVideoWnd) != 0) return 0;
    }
    // A renderer that cannot start refuses pictures at once; the session plays on regardless.
    // A header that gives no size (some recorders write 0x0), or one too large to allocate for,
    // leaves the size to the pictures.
    if (width <= 0 || height <= 0 ||
        m_pRender->Start(static_cast<uint32_t>(width), static_cast<uint32_t>(height)) != 0) {
        m_bRenderStartPending = 1;
    }
    m_bHasVideo = 1;
    m_nVideoWidth = width;
    m_nVideoHeight = height;
    return 1;
}

int CPlayerCore::OpenSoundOut() {
    if (!m_pSoundOut) m_pSoundOut = new (std::nothrow) CSoundOut();
    if (!m_pSoundOut) return 0;
    const int channels = m_pAudioCodecCtx->ch_layout.nb_channels;
    const int sampleRate = m_pAudioCodecCtx->sample_rate;
    if (channels <= 0 || channels > 0xFFFF / 2 || sampleRate <= 0) return 0;
    m_waveFormat = WAVEFORMATEX{};
    m_waveFormat.wFormatTag = WAVE_FORMAT_PCM;
    m_waveFormat.nChannels = static_cast<uint16_t>(channels);
    m_waveFormat.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
    m_waveFormat.nBlockAlign = static_cast<uint16_t>(channels * 2);
    m_waveFormat.nAvgBytesPerSec = m_waveFormat.nBlockAlign * m_waveFormat.nSamplesPerSec;
    m_waveFormat.wBitsPerSample = 16;
    m_waveFormat.cbSize = 0;
    // A machine without a reachable sound server plays the file silently rather than not at all.
    m_pSoundOut->SetSilentFallback(true);
    if (!m_pSoundOut->Open(m_waveFormat)) return 0;
    m_nAudioSampleRate = sampleRate;
    m_heardClock.Start(m_waveFormat.nAvgBytesPerSec);
    m_bHasAudio = 1;
    return 1;
}

void CPlayerCore::StartWorkers() {
    m_bRunning = 1;
    m_readThread.Start([this] { ReadThread(); });
    m_syncThread.Start([this] { SyncThread(); });
    if (m_nVideoStream != -1) m_videoThread.Start([this] { VideoThread(); });
    if (m_nAudioStream != -1) m_audioThread.Start([this] { AudioThread(); });
    m_bOpened = 1;
}

void CPlayerCore::ReleaseDecodersAndInput() {
    avcodec_free_context(&m_pAudioCodecCtx);
    avcodec_free_context(&m_pVideoCodecCtx);
    if (m_pFormatCtx) avformat_close_input(&m_pFormatCtx);
    if (m_pRecordFile && m_pRecordFile->IsOpen()) m_pRecordFile->Close();
    if (m_pSoundOut && m_pSoundOut->IsOpen()) m_pSoundOut->Close();
    m_nAudioStream = -1;
    m_nVideoStream = -1;
    m_bHasAudio = 0;
    m_bHasVideo = 0;
}

int CPlayerCore::Play() {
    if (!m_bOpened) return 0;
    m_hRunEvent.Set();
    m_bPlaying = 1;
    if (m_bStepMode) {
        m_bStepMode = 0;
        m_hStepEvent.Set();
    }
    return 1;
}

void CPlayerCore::Pause() {
    if (!m_bOpened) return;
    m_hRunEvent.Reset();
    m_bPlaying = 0;
}

void CPlayerCore::StepFrame() {
    if (!m_bOpened) return;
    {
        platform::CsGuard guard(m_csSpeed);
        m_nSpeed = 0;
        m_bSlow = 0;
        m_bFast = 0;
    }
    m_bStepMode = 1;
    m_bPlaying = 0;
    m_hStepEvent.Set();
    // From a pause the run gate is closed, and a step that left it so would show nothing: stepping
    // through a paused picture is how footage is reviewed. The step event alone holds the video
    // thread to one picture per call, and no sound is written while stepping.
    m_hRunEvent.Set();
}

void CPlayerCore::SetSpeed(int speedCode) {
    if (!m_bOpened || speedCode < 0 || speedCode > kLastSpeedCode) return;
    platform::CsGuard guard(m_csSpeed);
    m_nSpeed = speedCode;
    m_bSlow = speedCode == 1 || speedCode == 2;
    m_bFast = speedCode == 3 || speedCode == 4;
}

int CPlayerCore::SeekTo(int64_t targetMs) {
    if (!m_bClockStarted || !m_bOpened) return 0;
    if (targetMs < 0 || targetMs > GetDuration()) return 0;
    // Until the previous seek has been taken and has landed, a new one is refused rather than
    // written over a request the read thread is performing.
    if (m_bSeekRequest || m_bAwaitKeyFrame) return 0;
    // Once the end has been reported the workers are leaving: nobody would perform the seek.
    if (m_bEndNotified) return 0;
    // The target is written before the flag, so the read thread never sees the flag without it.
    // Only this thread sets the flag and only the read thread clears it, once it has read the target.
    m_nSeekTarget = targetMs;
    // Back to the key frame at or before the target, from which the video thread decodes up to it.
    m_nSeekFlags = AVSEEK_FLAG_BACKWARD;
    m_bSeekRequest = 1;
    // A read thread waiting for room in a full queue takes the seek at once.
    m_hRoomEvent.Set();
    m_hAudioRoomEvent.Set();
    m_hVideoRoomEvent.Set();
    return 1;
}

int64_t CPlayerCore::GetDuration() const { return m_bRunning ? m_nDurationMs.load() : 0; }

int32_t CPlayerCore::GetPosition() const {
    if (!m_bRunning) return 0;
    platform::CsGuard guard(m_csPosition);
    return m_nPosition;
}

int CPlayerCore::GetFrameRate() const {
    if (!m_bHasVideo || !m_bOpened) return 0;
    int32_t frameDelta = 0;  // stream units
    {
        platform::CsGuard guard(m_csDelta);
        frameDelta = m_nFrameDelta;
    }
    const int64_t frameMs = VideoUnitsToMs(frameDelta);
    return frameMs > 0 ? static_cast<int>(1000 / frameMs) : 0;
}

int CPlayerCore::TakeSnapshot(const char* path) {
    if (!path || !*path) return 0;
    platform::CsGuard guard(m_csSnap);
    if (!m_pSnapFrame || !m_bPlaying) return 0;
    // The kept copy's own size: the picture as shown. The size found at opening may be the
    // decoder's coded size (rows beyond the picture) or a header's, which can differ from the
    // stream's or be 0.
    const SnapshotEvidence evidence{m_recordedClock, m_nSnapPictureMs, m_strFilePath};
    return WriteSnapshotJpeg(m_pSnapFrame, m_pSnapFrame->width, m_pSnapFrame->height, path,
                             MakeSnapshotExifSegment(evidence));
}

ActivityTimeline CPlayerCore::GetActivity() const {
    if (m_nInputKind == INPUT_RECORDING) return m_pRecordFile ? m_pRecordFile->GetActivity() : ActivityTimeline{};
    return m_pActivityScan ? m_pActivityScan->Timeline() : ActivityTimeline{};
}

int CPlayerCore::StopPlay() {
    if (!m_bRenderReady) return 0;
    if (!m_bPlaying && m_bOpened) Play();
    CloseStreams();
    m_hRunEvent.Reset();
    m_hSyncGate.Set();
    m_hRoomEvent.Set();
    m_hAudioRoomEvent.Set();
    m_hVideoRoomEvent.Set();
    m_bOpened = 0;
    m_bPlaying = 0;
    m_pActivityScan.reset();
    if (m_nInputKind == INPUT_RECORDING && m_pRecordFile) {
        if (m_pRecordFile->IsOpen()) m_pRecordFile->Close();
        delete m_pRecordFile;
        m_pRecordFile = nullptr;
    }
    m_bStopped = true;
    return 1;
}

int CPlayerCore::CloseStreams() {
    // The flag first, so that a worker released by any event below sees it cleared.
    m_bRunning = 0;
    m_hStopEvent.Set();
    m_hAudioRoomEvent.Set();
    m_hVideoRoomEvent.Set();
    OpenEveryWait();
    if (!platform::JoinAll({&m_audioThread, &m_readThread, &m_syncThread, &m_videoThread}, kJoinLimitMs)) {
        // Something a worker waits on outside the session (the renderer, the sound server) held it
        // past the limit; nothing may be released under it, so wait on.
        for (platform::Thread* worker : {&m_audioThread, &m_readThread, &m_syncThread, &m_videoThread}) {
            worker->Join(platform::kInfinite);
        }
    }
    platform::Sleep(kCloseSettleMs);
    ClearClocksAndDelays();
    if (m_pSoundOut && m_pSoundOut->IsOpen()) m_pSoundOut->Close();
    if (m_pRender) {
        m_pRender->Flush();
        m_pRender->Stop();
        delete m_pRender;
        m_pRender = nullptr;
    }
    m_nAudioStream = -1;
    m_nVideoStream = -1;
    m_bPlaying = 0;
    avcodec_free_context(&m_pAudioCodecCtx);
    avcodec_free_context(&m_pVideoCodecCtx);
    if (m_pFormatCtx) avformat_close_input(&m_pFormatCtx);
    m_pAudioQueue->FlushQueue();
    m_pVideoQueue->FlushQueue();
    m_pcmConverter.Reset();
    m_hStopEvent.Reset();
    return 1;
}

// Takes m_csAudioFrame, m_csDelta and m_csPosition, one after the other.
void CPlayerCore::ClearClocksAndDelays() {
    m_bAwaitKeyFrame = 0;
    m_bClockStarted = 0;
    m_bHasAudio = 0;
    m_bHasVideo = 0;
    m_bOpened = 0;
    m_nAudioDelay = 0;
    m_nVideoDelay = 0;
    {
        platform::CsGuard guard(m_csAudioFrame);
        m_nAudioFrameSamples = 0;
    }
    {
        platform::CsGuard guard(m_csDelta);
        m_nFrameDelta = 0;
    }
    m_nSeekFlags = 0;
    m_nLastVideoTs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        m_nPosition = 0;
    }
}

// Every event a worker may block on, so that none stays parked once the run flag is down; the
// renderer's flush also frees a video thread waiting for a slot behind a long pacing wait.
void CPlayerCore::OpenEveryWait() {
    m_hSyncGate.Set();
    m_hRoomEvent.Set();
    m_hStepEvent.Set();
    m_hRunEvent.Set();
    if (m_pRender) m_pRender->Flush();
}

void* CPlayerCore::SerialTag(int serial) { return reinterpret_cast<void*>(static_cast<intptr_t>(serial)); }

int CPlayerCore::SerialOf(const AVPacket* packet) { return static_cast<int>(reinterpret_cast<intptr_t>(packet->opaque)); }

void CPlayerCore::SetPictureObserver(std::function<void(int64_t pictureMs)> observer) {
    if (m_bRunning) return;  // the video thread reads it without a lock
    m_pictureObserver = std::move(observer);
}

int64_t CPlayerCore::GetHeardAudioMs() const {
    CSoundOut* soundOut = m_pSoundOut;
    if (!soundOut || !m_bHasAudio) return -1;
    return m_heardClock.StreamMsAt(soundOut->GetPlayedMs());
}

bool CPlayerCore::PassGate(platform::Event& gate) {
    if (platform::WaitForEither(gate, m_hStopEvent, platform::kInfinite) != platform::WaitResult::First) return false;
    return m_bRunning && !m_hStopEvent.IsSignalled();
}

void CPlayerCore::NotifyEndOfFile() {
    if (m_bEndNotified.exchange(1) != 0) return;  // the other decoder thread got there first
    if (m_hNotifyWnd) platform::PostMessage(m_hNotifyWnd, platform::kWmCommand, ID_END_OF_FILE, 0);
}

int64_t CPlayerCore::VideoUnitsToMs(int64_t value) const { return av_rescale_q(value, m_videoClockBase, kMilliseconds); }

int64_t CPlayerCore::AudioUnitsToMs(int64_t value) const { return av_rescale_q(value, m_audioClockBase, kMilliseconds); }

int64_t CPlayerCore::VideoClockMs(int64_t value) const { return VideoUnitsToMs(value) - m_nOriginMs; }

int64_t CPlayerCore::AudioClockMs(int64_t value) const { return AudioUnitsToMs(value) - m_nOriginMs; }
