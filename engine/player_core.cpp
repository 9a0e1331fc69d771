// The session's operations, opening and closing. The worker bodies live in player_core_read.cpp,
// player_core_video.cpp, player_core_sync.cpp and player_core_audio.cpp.

#include "engine/playback_session.h"

#include <algorithm>
#include <new>

#include "engine/audio/sound_out.h"
#include "engine/debug_output.h"
#include "engine/media_input.h"
#include "engine/packet_queue.h"
#include "engine/render/d3d_render.h"
#include "engine/snapshot/snapshot_exif.h"
#include "engine/snapshot/snapshot_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
}

namespace {

constexpr int kLastSpeedCode = 4;

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

CPlaybackSession::CPlaybackSession()
    : m_pAudioQueue(std::make_unique<CPacketQueue>()), m_pVideoQueue(std::make_unique<CPacketQueue>()) {}

CPlaybackSession::~CPlaybackSession() {
    Teardown();
    delete m_pSoundOut;
    av_frame_free(&m_pSnapFrame);
}

int CPlaybackSession::Attach(platform::WindowHandle videoWindow, platform::WindowHandle notifyWindow) {
    if (m_bRunning) return 0;  // the renderer is in use by the workers
    m_hVideoWnd = videoWindow;
    m_hNotifyWnd = notifyWindow;
    delete m_pRender;
    m_pRender = new (std::nothrow) CD3DRender();
    m_bRenderReady = m_pRender && m_pRender->Init(videoWindow) == 0 ? 1 : 0;
    return m_bRenderReady;
}

int CPlaybackSession::OpenFile(const char* path) {
    m_openError.clear();
    const std::string name = path ? path : "";
    if (!path || !*path) return Fail("no file was named");
    if (!m_bRenderReady) return Fail(name + ": there is no picture output to play it on");
    // A session plays one file: a second open would start a second set of workers on the same state.
    if (m_bPlaying || m_bOpened || m_bRunning || m_bStopped) return Fail(name + ": this session has already played a file");
    if (!OpenInput(path) || !OpenVideo()) {
        m_openError = name + ": " + m_openError;
        ReleaseDecodersAndInput();
        return Fail(m_openError);
    }
    // Pictures without sound play on their own, as recordings without sound do: camera exports
    // and our own converter's output often carry no sound, or sound no decoder here knows.
    if (m_pInput->Audio().index >= 0 && !OpenAudio()) {
        avcodec_free_context(&m_pAudioCodecCtx);
        m_pInput->DropAudio();
        m_bHasAudio = 0;
    }
    m_nVideoStream = m_pInput->Video().index;
    m_nAudioStream = m_pInput->Audio().index;
    StartWorkers();
    return 1;
}

// Keeps the reason for GetOpenError and the debug output; always false.
bool CPlaybackSession::Fail(std::string reason) {
    m_openError = std::move(reason);
    OutputDebugFormat("open failed: %s\n", m_openError.c_str());
    return false;
}

bool CPlaybackSession::OpenInput(const char* path) {
    m_pInput = MakeMediaInput(path, m_bRunning);
    if (!m_pInput->Open(path, &m_openError)) return false;
    m_bStampsByPacket = m_pInput->StampsFramesByPackets();
    m_nOriginMs = m_pInput->OriginMs();
    m_nDurationMs = m_pInput->DurationMs();
    m_recordedClock = m_pInput->Clock();
    m_strFilePath = path;
    return true;
}

bool CPlaybackSession::OpenVideo() {
    const InputStream& stream = m_pInput->Video();
    m_pVideoCodecCtx = OpenDecoder(stream, true);
    if (!m_pVideoCodecCtx) return false;
    m_videoClockBase = stream.clockBase;
    if (stream.claimedWidth > 0 || stream.claimedHeight > 0) {
        return StartRenderer(stream.claimedWidth, stream.claimedHeight) != 0;
    }
    const int width = m_pVideoCodecCtx->coded_width > 0 ? m_pVideoCodecCtx->coded_width : m_pVideoCodecCtx->width;
    const int height =
        m_pVideoCodecCtx->coded_height > 0 ? m_pVideoCodecCtx->coded_height : m_pVideoCodecCtx->height;
    return StartRenderer(width, height) != 0;
}

bool CPlaybackSession::OpenAudio() {
    const InputStream& stream = m_pInput->Audio();
    m_pAudioCodecCtx = OpenDecoder(stream, false);
    if (!m_pAudioCodecCtx) return false;
    m_audioClockBase = stream.clockBase;
    return OpenSoundOut() != 0;
}

// A decoder for the stream, open; null with the reason in m_openError.
AVCodecContext* CPlaybackSession::OpenDecoder(const InputStream& stream, bool useThreads) {
    const AVCodec* codec = avcodec_find_decoder(stream.parameters->codec_id);
    if (!codec) {
        m_openError = std::string("no decoder here knows its ") + av_get_media_type_string(stream.parameters->codec_type) +
                      " (" + avcodec_get_name(stream.parameters->codec_id) + ")";
        return nullptr;
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (context && avcodec_parameters_to_context(context, stream.parameters) >= 0) {
        context->pkt_timebase = stream.packetTimeBase;
        if (useThreads) UseDecoderThreads(context);
        if (avcodec_open2(context, codec, nullptr) >= 0) return context;
    }
    avcodec_free_context(&context);
    m_openError = std::string("its ") + avcodec_get_name(stream.parameters->codec_id) + " decoder cannot be started";
    return nullptr;
}

int CPlaybackSession::StartRenderer(int width, int height) {
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

int CPlaybackSession::OpenSoundOut() {
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
    if (m_bSoundMuteControlled) m_pSoundOut->SetMuted(m_bSoundMuted);
    // Side by side with other sessions, the server's list tells them apart by their files.
    m_pSoundOut->SetStreamName("Telvane: " + m_strFilePath.substr(m_strFilePath.find_last_of('/') + 1));
    if (!m_pSoundOut->Open(m_waveFormat)) return 0;
    m_nAudioSampleRate = sampleRate;
    m_heardClock.Start(m_waveFormat.nAvgBytesPerSec);
    m_bHasAudio = 1;
    return 1;
}

void CPlaybackSession::StartWorkers() {
    m_bRunning = 1;
    m_readThread.Start([this] { ReadThread(); });
    m_syncThread.Start([this] { SyncThread(); });
    if (m_nVideoStream != -1) m_videoThread.Start([this] { VideoThread(); });
    if (m_nAudioStream != -1) m_audioThread.Start([this] { AudioThread(); });
    m_bOpened = 1;
}

int CPlaybackSession::Play() {
    if (!m_bOpened) return 0;
    m_hRunEvent.Set();
    m_bPlaying = 1;
    if (m_bStepMode) {
        m_bStepMode = 0;
        m_hStepEvent.Set();
    }
    return 1;
}

void CPlaybackSession::Pause() {
    if (!m_bOpened) return;
    m_hRunEvent.Reset();
    m_bPlaying = 0;
}

void CPlaybackSession::StepFrame() {
    if (!m_bOpened) return;
    {
        platform::CsGuard guard(m_csSpeed);
        m_nSpeed = 0;
        m_bSlow = 0;
        m_bFast = 0;
    }
    m_bPlaying = 0;
    HoldAtNextPicture();
}

// From a pause the run gate is closed, and a step that left it so would show nothing: stepping
// through a paused picture is how footage is reviewed. The step event alone holds the video
// thread to one picture per call, and no sound is written while stepping.
void CPlaybackSession::HoldAtNextPicture() {
    if (m_bStepMode) {
        // Held at the step gate after its last picture: let it go on to the next.
        m_hStepEvent.Set();
    } else {
        // Playing, or held at the run gate with the next picture in hand: that picture is the
        // one to show, and the step gate must hold the thread right after it. Closed before step
        // mode is seen, or the gate a Play left open would let a second picture through.
        m_hStepEvent.Reset();
        m_bStepMode = 1;
    }
    m_hRunEvent.Set();
}

void CPlaybackSession::SetSpeed(int speedCode) {
    if (!m_bOpened || speedCode < 0 || speedCode > kLastSpeedCode) return;
    platform::CsGuard guard(m_csSpeed);
    m_nSpeed = speedCode;
    m_bSlow = speedCode == 1 || speedCode == 2;
    m_bFast = speedCode == 3 || speedCode == 4;
}

int CPlaybackSession::SeekTo(int64_t targetMs) {
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
    m_bSeekRequest = 1;
    // Paused, the workers run until the picture at the target is shown, and hold it.
    if (!m_bPlaying) HoldAtNextPicture();
    return 1;
}

int64_t CPlaybackSession::GetDuration() const { return m_bRunning ? m_nDurationMs.load() : 0; }

int32_t CPlaybackSession::GetPosition() const {
    if (!m_bRunning) return 0;
    platform::CsGuard guard(m_csPosition);
    return m_nPosition;
}

int CPlaybackSession::GetFrameRate() const {
    if (!m_bHasVideo || !m_bOpened) return 0;
    int32_t frameDelta = 0;  // stream units
    {
        platform::CsGuard guard(m_csDelta);
        frameDelta = m_nFrameDelta;
    }
    const int64_t frameMs = VideoUnitsToMs(frameDelta);
    return frameMs > 0 ? static_cast<int>(1000 / frameMs) : 0;
}

int CPlaybackSession::TakeSnapshot(const char* path) {
    if (!path || !*path) return 0;
    platform::CsGuard guard(m_csSnap);
    if (!m_pSnapFrame) return 0;
    // The kept copy's own size: the picture as shown. The size found at opening may be the
    // decoder's coded size (rows beyond the picture) or a header's, which can differ from the
    // stream's or be 0.
    const SnapshotEvidence evidence{m_recordedClock, m_nSnapPictureMs, m_strFilePath};
    return WriteSnapshotJpeg(m_pSnapFrame, m_pSnapFrame->width, m_pSnapFrame->height, path,
                             MakeSnapshotExifSegment(evidence));
}

ActivityTimeline CPlaybackSession::GetActivity() const {
    return m_pInput ? m_pInput->Activity() : ActivityTimeline{};
}

int CPlaybackSession::StopPlay() {
    if (!m_bRenderReady) return 0;
    Teardown();
    m_bStopped = true;
    return 1;
}

void CPlaybackSession::Teardown() {
    if (AnyWorkerStarted()) EndWorkers();
    ClearClocksAndDelays();
    m_bPlaying = 0;
    m_hRunEvent.Reset();
    m_hSyncGate.Set();
    ReleaseRenderer();
    ReleaseDecodersAndInput();
    m_pAudioQueue->FlushQueue();
    m_pVideoQueue->FlushQueue();
    m_pcmConverter.Reset();
    m_soundGatherer.Drop();
    m_hStopEvent.Reset();
}

// Workers parked at a closed gate after an OpenFile without Play must end too, not only those of
// a playing session: none may outlive the storage it uses.
bool CPlaybackSession::AnyWorkerStarted() {
    return m_bRunning || m_readThread.IsStarted() || m_syncThread.IsStarted() || m_videoThread.IsStarted() ||
           m_audioThread.IsStarted();
}

void CPlaybackSession::EndWorkers() {
    // The flag first, so that a worker released by any event below sees it cleared.
    m_bRunning = 0;
    m_hStopEvent.Set();
    m_pAudioQueue->Abort();
    m_pVideoQueue->Abort();
    if (m_pSoundOut) m_pSoundOut->CancelWaits();
    OpenEveryWait();
    if (!platform::JoinAll({&m_audioThread, &m_readThread, &m_syncThread, &m_videoThread}, kJoinLimitMs)) {
        // Something a worker waits on outside the session (the renderer, the sound server) held it
        // past the limit; nothing may be released under it, so wait on.
        for (platform::Thread* worker : {&m_audioThread, &m_readThread, &m_syncThread, &m_videoThread}) {
            worker->Join(platform::kInfinite);
        }
    }
    // Nothing is left to settle once the joins return: the renderer's thread and the sound
    // device's loop are ended and joined by their own Stop and Close, and what the workers posted
    // to the notify window is the owner's to read. So no pause follows, and a file change does
    // not hold the window.
}

void CPlaybackSession::ReleaseRenderer() {
    if (!m_pRender) return;
    OutputDebugFormat("pictures presented: %llu, of which waited for the window's paint of the last: %llu; "
                      "presentation delay: %lld ms\n",
                      static_cast<unsigned long long>(m_pRender->PresentCount()),
                      static_cast<unsigned long long>(m_pRender->PaintWaitCount()),
                      static_cast<long long>(m_pRender->PresentationDelayMs()));
    m_pRender->Flush();
    m_pRender->Stop();
    delete m_pRender;
    m_pRender = nullptr;
}

// Also after a failed OpenFile, before any worker has started.
void CPlaybackSession::ReleaseDecodersAndInput() {
    if (m_pSoundOut && m_pSoundOut->IsOpen()) m_pSoundOut->Close();
    avcodec_free_context(&m_pAudioCodecCtx);
    avcodec_free_context(&m_pVideoCodecCtx);
    m_pInput.reset();  // closes the file, and a recording's lock with it
    m_nAudioStream = -1;
    m_nVideoStream = -1;
    m_bHasAudio = 0;
    m_bHasVideo = 0;
}

// Takes m_csAudioFrame, m_csDelta and m_csPosition, one after the other.
void CPlaybackSession::ClearClocksAndDelays() {
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
    m_nLastVideoTs = 0;
    {
        platform::CsGuard guard(m_csPosition);
        m_nPosition = 0;
    }
}

// Every event a worker may block on, so that none stays parked once the run flag is down; the
// renderer's flush also frees a video thread waiting for a slot behind a long pacing wait.
void CPlaybackSession::OpenEveryWait() {
    m_hSyncGate.Set();
    m_hStepEvent.Set();
    m_hRunEvent.Set();
    if (m_pRender) m_pRender->Flush();
}

void CPlaybackSession::SetPictureObserver(std::function<void(int64_t pictureMs)> observer) {
    if (m_bRunning) return;  // the video thread reads it without a lock
    m_pictureObserver = std::move(observer);
}

int64_t CPlaybackSession::GetHeardAudioMs() const {
    CSoundOut* soundOut = m_pSoundOut;
    if (!soundOut || !m_bHasAudio) return -1;
    return m_heardClock.StreamMsAt(soundOut->GetPlayedMs());
}

// The output exists from OpenFile until the session is freed; the owner's thread also opens and
// closes it, so nothing else changes it meanwhile.
void CPlaybackSession::SetSoundMuted(bool muted) {
    m_bSoundMuteControlled = true;
    m_bSoundMuted = muted;
    if (m_pSoundOut) m_pSoundOut->SetMuted(muted);
}

bool CPlaybackSession::PassGate(platform::Event& gate) {
    if (platform::WaitForEither(gate, m_hStopEvent, platform::kInfinite) != platform::WaitResult::First) return false;
    return m_bRunning && !m_hStopEvent.IsSignalled();
}

void CPlaybackSession::NotifyEndOfFile() {
    if (m_bEndNotified.exchange(1) != 0) return;  // the other decoder thread got there first
    if (m_hNotifyWnd) platform::PostMessage(m_hNotifyWnd, platform::kWmCommand, ID_END_OF_FILE, 0);
}

int64_t CPlaybackSession::VideoUnitsToMs(int64_t value) const { return av_rescale_q(value, m_videoClockBase, kMillisecondTimeBase); }

int64_t CPlaybackSession::AudioUnitsToMs(int64_t value) const { return av_rescale_q(value, m_audioClockBase, kMillisecondTimeBase); }

int64_t CPlaybackSession::VideoClockMs(int64_t value) const { return VideoUnitsToMs(value) - m_nOriginMs; }

int64_t CPlaybackSession::AudioClockMs(int64_t value) const { return AudioUnitsToMs(value) - m_nOriginMs; }
