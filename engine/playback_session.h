#pragma once
// The inside of one playback session (see player_core.h for what it does and what its owner may
// call): it owns the input, the two decoders, the two packet queues, the renderer, the sound
// output and four workers: the read thread fills the queues, the video and audio threads decode
// and present, the sync thread chooses their waits from the audio and video clocks. The
// operations run on the owner's thread; the session reports back only by messages posted to the
// notify window. Engine-internal: it names FFmpeg's types, which stay inside the engine.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/audio/sound_gatherer.h"
#include "engine/heard_audio_clock.h"
#include "engine/pcm_converter.h"
#include "engine/player_core.h"
#include "engine/sound_stall_watch.h"
#include "engine/sync_delays.h"
#include "platform/messages.h"
#include "platform/sync.h"
#include "platform/wave_format.h"

extern "C" {
#include <libavutil/rational.h>
}

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;
class CD3DRender;
class CMediaInput;
class CPacketQueue;
class CSoundOut;
struct InputStream;

class CPlaybackSession {
public:
    CPlaybackSession();
    ~CPlaybackSession();
    CPlaybackSession(const CPlaybackSession&) = delete;
    CPlaybackSession& operator=(const CPlaybackSession&) = delete;

    // CPlayerCore's operations, with the meaning and the threads player_core.h gives them.
    int Attach(platform::WindowHandle videoWindow, platform::WindowHandle notifyWindow);
    int OpenFile(const char* path);
    const std::string& GetOpenError() const { return m_openError; }
    RecordedClock GetRecordedClock() const { return m_recordedClock; }
    ActivityTimeline GetActivity() const;
    const std::string& GetFilePath() const { return m_strFilePath; }
    int Play();
    void Pause();
    void StepFrame();
    void SetSpeed(int speedCode);
    int SeekTo(int64_t targetMs);
    int64_t GetDuration() const;
    int32_t GetPosition() const;
    int GetFrameRate() const;
    int TakeSnapshot(const char* path);
    int StopPlay();
    bool IsOpened() const { return m_bOpened.load() != 0; }
    bool IsPlaying() const { return m_bPlaying.load() != 0; }
    void SetPictureObserver(std::function<void(int64_t pictureMs)> observer);
    int64_t GetHeardAudioMs() const;
    void SetSoundMuted(bool muted);

private:
    // The length of the blocks the decoded sound is gathered into. The output's ring holds five,
    // 200 ms ahead of the loudspeaker: enough to outlast its 50 ms look at a held block and the
    // device's own reporting, whatever the decoder's frame length.
    static constexpr int kSoundBlockMs = 40;
    static constexpr uint32_t kJoinLimitMs = 5000;

    // OpenFile's steps; each false with the reason in m_openError.
    bool OpenInput(const char* path);
    bool OpenVideo();
    bool OpenAudio();
    AVCodecContext* OpenDecoder(const InputStream& stream, bool useThreads);
    int StartRenderer(int width, int height);
    int OpenSoundOut();
    void StartWorkers();
    // Lets the video thread present one more picture and hold it there.
    void HoldAtNextPicture();
    bool Fail(std::string reason);

    // The one way down, from any state: the workers end first, then what they used is released.
    void Teardown();
    bool AnyWorkerStarted();
    void EndWorkers();
    void OpenEveryWait();
    void ClearClocksAndDelays();
    void ReleaseRenderer();
    void ReleaseDecodersAndInput();

    // Worker bodies, one per source file.
    void ReadThread();
    bool IdleAtEndOfInput();
    bool QueueWithRoom(AVPacket* packet);
    bool WaitForRoom(CPacketQueue* queue);
    bool SeekInsteadOfQueueing(AVPacket* packet);
    void SeekInput();
    void BeginLanding(int64_t videoTargetMs, int64_t audioTargetMs);

    void VideoThread();
    bool DecodeVideoPacket(AVPacket* packet, int serial, AVFrame* frame);
    bool TimeUntimedPicture(AVFrame* frame);
    bool HandleVideoPicture(AVFrame* frame, int64_t packetDts, int serial);
    bool LandsBeforeTarget(const AVFrame* frame);
    void KeepLandingCandidate(const AVFrame* frame, int64_t packetDts, int serial);
    bool ShowLandingCandidate();
    bool ShowPicture(AVFrame* frame, int64_t packetDts, int serial);
    void NotePictureSpacing(int64_t pictureMs);
    int64_t PresentationMs(const AVFrame* frame) const;
    bool PresentPicture(AVFrame* picture, int64_t pictureTs, int64_t packetDts);
    bool OnVideoStarved(AVFrame* frame);
    bool DrainVideoDecoder(AVFrame* frame);
    AVFrame* AsPlanar420(AVFrame* frame);
    void RefreshSnapshotCopy(const AVFrame* picture, int64_t pictureMs);

    void SyncThread();
    bool SyncWithAudio();
    SyncDelays ChooseDelaysAtNormalSpeed();
    void SleepUntilPictureDue(uint32_t intervalMs);
    bool WaitForItsSound(int64_t pictureMs, bool heldAtGate);
    int64_t PresentationDelayMs() const;

    void AudioThread();
    void DropSoundOfTheOldPlace();
    bool DecodeAudioPacket(AVPacket* packet, int serial, AVFrame* frame);
    bool HandleAudioFrame(AVFrame* frame, int64_t packetDts, int serial);
    bool AudioLandsBeforeTarget(const AVFrame* frame, int64_t frameTs);
    bool HoldUnheardSound(int64_t frameMs, int serial);
    bool SoundGoesUnheard() const;
    bool WriteGatheredBlock(int serial);
    bool PlayOutTheEnd();
    bool WriteEndOfSound();
    void WriteSoundBlock();

    // Gates: true when `gate` opened and the session still runs; false means leave the loop.
    bool PassGate(platform::Event& gate);
    void NotifyEndOfFile();
    int64_t VideoUnitsToMs(int64_t value) const;
    int64_t AudioUnitsToMs(int64_t value) const;
    // A time stamp of the stream as a time on the session's clock: ms from the file's start.
    int64_t VideoClockMs(int64_t value) const;
    int64_t AudioClockMs(int64_t value) const;

    // The flags shared between threads are atomic: plain variables shared that way would race.
    CD3DRender* m_pRender = nullptr;
    std::atomic<int> m_bReadEof{0};
    std::atomic<int> m_bAudioStarved{0};
    // The input ended and the output has played all its sound: written by the audio thread.
    std::atomic<int> m_bSoundPlayedOut{0};
    std::atomic<int> m_bVideoStarved{0};
    std::atomic<int> m_bEndNotified{0};
    // Set by OpenFile before the workers start; the read thread alone reads and seeks through it.
    std::unique_ptr<CMediaInput> m_pInput;
    bool m_bStampsByPacket = false;  // the input's packets carry their frames' own times
    std::atomic<int> m_bSeekResetsFrameDelta{0};
    std::atomic<int> m_bSlow{0};
    std::atomic<int> m_bFast{0};
    std::atomic<int> m_nSpeed{0};
    platform::CriticalSection m_csSpeed;
    std::atomic<uint8_t> m_bPlaying{0};
    platform::Event m_hRunEvent{platform::ResetKind::Manual, false};
    AVCodecContext* m_pVideoCodecCtx = nullptr;
    AVCodecContext* m_pAudioCodecCtx = nullptr;
    std::atomic<int> m_nAudioStream{-1};
    std::atomic<int> m_nVideoStream{-1};
    platform::WindowHandle m_hVideoWnd = nullptr;
    platform::WindowHandle m_hNotifyWnd = nullptr;
    AVFrame* m_pSnapFrame = nullptr;
    platform::CriticalSection m_csSnap;
    std::atomic<int> m_bRunning{0};
    std::atomic<int> m_bSeekRequest{0};
    std::atomic<int64_t> m_nSeekTarget{0};  // ms
    platform::Event m_hReaderDone{platform::ResetKind::Automatic, false};
    platform::Thread m_readThread;
    platform::Thread m_syncThread;
    platform::Thread m_audioThread;
    platform::Thread m_videoThread;
    CSoundOut* m_pSoundOut = nullptr;
    WAVEFORMATEX m_waveFormat{};
    std::atomic<int> m_bHasAudio{0};
    std::atomic<int> m_bHasVideo{0};
    std::atomic<int64_t> m_nBaseTs{0};  // stream units (ms for a recording)
    std::atomic<int> m_bRenderReady{0};
    std::atomic<int> m_bOpened{0};
    std::atomic<int> m_bStepMode{0};
    std::unique_ptr<CPacketQueue> m_pAudioQueue;
    std::unique_ptr<CPacketQueue> m_pVideoQueue;
    platform::Event m_hSyncGate{platform::ResetKind::Manual, true};
    // Manual reset here: once Teardown sets it, every wait of every worker ends, however many
    // are waiting, until Teardown resets it after the joins.
    platform::Event m_hStopEvent{platform::ResetKind::Manual, false};
    platform::Event m_hStepEvent{platform::ResetKind::Manual, true};
    std::atomic<uint32_t> m_nLastVideoTs{0};  // low 32 bits, stream units
    int32_t m_nPosition = 0;                  // ms; guarded by m_csPosition
    std::atomic<int> m_bAwaitKeyFrame{0};
    int m_nAudioFrameSamples = 0;             // guarded by m_csAudioFrame
    int m_nVideoWidth = 0;
    int m_nVideoHeight = 0;
    std::atomic<uint32_t> m_nAudioDelay{0};   // ms
    std::atomic<uint32_t> m_nVideoDelay{0};   // ms
    mutable platform::CriticalSection m_csPosition;
    mutable platform::CriticalSection m_csDelta;
    platform::CriticalSection m_csAudioFrame;
    std::atomic<int> m_bClockStarted{0};
    int32_t m_nFrameDelta = 0;                // stream units; guarded by m_csDelta
    bool m_bStopped = false;  // StopPlay ran; owner's thread only
    std::string m_openError;  // why the last OpenFile failed; owner's thread only
    bool m_bSoundMuted = false;  // owner's thread only
    bool m_bSoundMuteControlled = false;  // SetSoundMuted was called; owner's thread only
    // Set by OpenFile before the workers start; read-only afterwards.
    RecordedClock m_recordedClock;
    std::string m_strFilePath;
    int64_t m_nSnapPictureMs = 0;  // position of the snapshot copy's picture; guarded by m_csSnap

    // Kept at OpenFile so that the polling thread never reads a context that StopPlay frees.
    std::atomic<int64_t> m_nDurationMs{0};
    // The time bases timestamps are converted with: the stream's own for a container, whole
    // milliseconds for a recording, whose packets are stamped in ms.
    AVRational m_videoClockBase{1, 1000};
    AVRational m_audioClockBase{1, 1000};
    int m_nAudioSampleRate = 0;
    // The input's start time in ms, subtracted from every clock so that positions count from the
    // file's start. Set by OpenFile before the workers start.
    int64_t m_nOriginMs = 0;
    // Seeks. The read thread performs a seek without stopping the decoders: it counts the seek in
    // m_nSeekSerial, and each packet carries the serial it was read under. A decoder thread that
    // meets a new serial flushes its own decoder (no decoder context is touched by two threads)
    // and discards what it still holds from before; then it discards what lies before the target,
    // so the first picture shown and the first sound written are those at the target.
    std::atomic<int> m_nSeekSerial{0};
    std::atomic<int64_t> m_nLandVideoMs{0};  // target on the video clock, ms
    std::atomic<int64_t> m_nLandAudioMs{0};  // the same instant on the audio clock, ms
    std::atomic<int> m_bAudioLanding{0};     // audio before m_nLandAudioMs is still discarded
    // The header gave no usable picture size: the renderer starts at the first picture's.
    std::atomic<int> m_bRenderStartPending{0};

    // Video thread only.
    SwsContext* m_pPictureSws = nullptr;
    AVFrame* m_pPlanarFrame = nullptr;
    bool m_bRebaseRenderClock = false;  // recording without audio: re-base pacing after a hold
    bool m_bVideoDrained = false;       // the decoder was told the input ended
    int64_t m_nLastPacedDts = INT64_MIN;  // ms; last picture paced by its own time stamp
    int m_nVideoDecoderSerial = 0;        // the seek serial the decoder was last fed under
    bool m_bLandedKeyFrame = false;       // since the seek, a key frame has been decoded
    int64_t m_nLastPictureMs = INT64_MIN; // presentation time of the last decoded picture
    int64_t m_nPictureSpacingMs = 40;     // the latest measured gap between two pictures
    AVFrame* m_pLandingFrame = nullptr;   // the last picture skipped on the way to the target
    int64_t m_nLandingPacketDts = 0;
    int m_nLandingSerial = 0;

    // Audio thread only.
    // Brings every frame to the output's format; its resampler is freed by Teardown.
    CPcmConverter m_pcmConverter;
    // Gathers the converted sound into steady blocks; dropped by a seek and by Teardown.
    CSoundGatherer m_soundGatherer;
    CSoundGatherer::Block m_soundBlock;  // the block being written, its buffers reused
    int m_nAudioDecoderSerial = 0;
    int m_nSoundOutSerial = 0;  // the seek whose place the sound output holds sound of

    // The video clock: presentation time in ms of the last decoded picture, 64-bit so that no
    // stream's time stamps wrap it. Written by the video thread, read by the sync thread.
    std::atomic<int64_t> m_nVideoClockMs{0};
    // No sound has been heard for a while of playing time: the pictures keep their own pace and
    // carry the position. Written by the sync thread.
    std::atomic<int> m_bSoundStopped{0};
    // Sync thread only.
    CSoundStallWatch m_soundWatch;
    // Video thread only: when the last picture was due, TickMs64; 0 before the first.
    uint64_t m_nLastPictureDueMs = 0;
    bool m_bPictureShown = false;  // the first picture has been let through

    std::function<void(int64_t)> m_pictureObserver;
    CHeardAudioClock m_heardClock;
};
