#pragma once
// One playback session: plays one file from OpenFile to StopPlay. Behind it are the input, the
// decoders, the renderer, the sound output and the session's worker threads (playback_session.h,
// inside the engine). The operations run on the owner's thread; the session reports back only by
// messages posted to the notify window.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/record/activity_finder.h"
#include "engine/recorded_clock.h"
#include "platform/messages.h"

class CPlaybackSession;

// Posted as WM_COMMAND wParam when the file has played out.
constexpr platform::WParam ID_END_OF_FILE = 65;

class CPlayerCore {
public:
    CPlayerCore();
    ~CPlayerCore();
    CPlayerCore(const CPlayerCore&) = delete;
    CPlayerCore& operator=(const CPlayerCore&) = delete;

    // Stores both windows and initialises a renderer on the video window; 1, or 0 when the
    // renderer cannot be initialised (every later OpenFile then fails).
    int Attach(platform::WindowHandle videoWindow, platform::WindowHandle notifyWindow);
    // Opens the input and its decoders and starts the workers, held at the closed run gate; 1 or 0.
    int OpenFile(const char* path);
    // Why the last OpenFile failed, naming the file; empty after one that succeeded.
    std::string GetOpenError() const;
    int Play();
    void Pause();
    // One more picture per call, no sound; the run gate stays as it is.
    void StepFrame();
    // Speed codes: 0 normal, 1 a quarter, 2 a half, 3 double, 4 four times.
    void SetSpeed(int speedCode);
    // Asks the read thread to seek (target in ms from the file's start); 1 when the request was
    // taken. Paused or stepping, the picture at the target is shown and held. Refused while the
    // previous seek is still being made or has not shown its target yet,
    // so a request taken is always performed. The first picture shown afterwards is the one at the
    // target; a seek that cannot be made leaves playback where it was.
    int SeekTo(int64_t targetMs);
    // Also called on the main panel's position thread: reads atomics only, takes no lock.
    int64_t GetDuration() const;  // ms
    // Also called on the main panel's position thread: takes the position lock, briefly.
    int32_t GetPosition() const;  // ms
    int GetFrameRate() const;     // pictures per second, 0 when not known
    // Writes the last presented picture as a JPEG file, playing or paused; 1 or 0 (no file is left
    // behind on 0).
    int TakeSnapshot(const char* path);
    // Ends the workers and closes the input and the outputs; afterwards the session only awaits
    // destruction. 0 when the session was never attached to a renderer.
    int StopPlay();

    // What the owner reads to decide which commands apply. IsOpened is also read on the main
    // panel's position thread: an atomic, no lock.
    bool IsOpened() const;
    bool IsPlaying() const;

    // After OpenFile, on the owner's thread: the recorder's clock at position 0 (none when the file
    // does not say when it was recorded).
    RecordedClock GetRecordedClock() const;
    // Owner's thread, between OpenFile and StopPlay: activity, gaps and damage as far as they have
    // been found (a recording's indexer, or a packet pass over a container, in the background).
    ActivityTimeline GetActivity() const;
    // The session's file, as given to OpenFile.
    const std::string& GetFilePath() const;

    // Called on the video thread right after each picture the renderer accepted, with that
    // picture's time in ms on the stream's clock. Set before OpenFile; must return quickly.
    void SetPictureObserver(std::function<void(int64_t pictureMs)> observer);
    // The stream time in ms of the sound being heard now, from the time stamps of the sound
    // written and the output's playback clock; -1 when unknown. Any thread.
    int64_t GetHeardAudioMs() const;
    // Whether this session's sound is heard (the default) or silenced, as when several play side by
    // side and one is listened to; it plays on, in step, either way. Owner's thread, any time.
    void SetSoundMuted(bool muted);

private:
    const std::unique_ptr<CPlaybackSession> m_session;
};
