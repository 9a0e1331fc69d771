#include "tools/telvane_play/headless_player.h"

#include <sys/resource.h>

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/sync.h"

namespace {

double CpuSecondsSoFar() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

HeadlessPlayer::HeadlessPlayer(const PlayOptions& options, const std::atomic<bool>& interrupted)
    : m_options(options),
      m_interrupted(interrupted),
      m_target(options.windowWidth, options.windowHeight),
      m_core(std::make_unique<CPlayerCore>()) {}

HeadlessPlayer::~HeadlessPlayer() = default;

void HeadlessPlayer::Log(const char* format, ...) {
    const uint64_t playTickMs = m_playTickMs.load();
    if (playTickMs != 0) {
        std::printf("[%7" PRId64 " ms] ", SincePlayMs());
    } else {
        std::printf("[   open   ] ");
    }
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

int64_t HeadlessPlayer::SincePlayMs() const {
    return static_cast<int64_t>(platform::TickMs64() - m_playTickMs.load());
}

// Both observers run on engine threads: they only count and note, under no engine lock.
void HeadlessPlayer::WatchPictures() {
    m_target.SetPresentObserver([this](const platform::PresentedPicture&) {
        if (m_playTickMs.load() == 0) return;
        int64_t none = -1;
        m_firstPictureMs.compare_exchange_strong(none, SincePlayMs());
    });
    m_core->SetPictureObserver([this](int64_t pictureMs) {
        m_picturesPushed.fetch_add(1);
        int64_t none = -1;
        m_firstPicturePositionMs.compare_exchange_strong(none, pictureMs);
        NoteSeekLanding(pictureMs);
        // Away from normal speed no sound is written, so there is nothing to be in step with.
        if (m_speedCode.load() != 0) return;
        const int64_t heardMs = m_core->GetHeardAudioMs();
        if (heardMs < 0) return;
        std::lock_guard<std::mutex> lock(m_offsetsMutex);
        m_avOffsetsMs.push_back(pictureMs - heardMs);
    });
}

// The first picture within a picture interval or two of the pending seek's target is where it
// landed; pictures still in flight from the old place are far from it.
void HeadlessPlayer::NoteSeekLanding(int64_t pictureMs) {
    constexpr int64_t kLandingToleranceMs = 80;
    int64_t targetMs = m_seekTargetMs.load();
    if (targetMs < 0 || std::llabs(pictureMs - targetMs) > kLandingToleranceMs) return;
    if (!m_seekTargetMs.compare_exchange_strong(targetMs, -1)) return;
    std::lock_guard<std::mutex> lock(m_seeksMutex);
    m_seekToPictureMs.back() = static_cast<int64_t>(platform::TickMs64() - m_seekTakenTickMs.load());
}

void HeadlessPlayer::Seek(int64_t targetMs) {
    const uint64_t askedTickMs = platform::TickMs64();
    const int taken = m_core->SeekTo(targetMs);
    Log("seek to %" PRId64 " ms -> %d", targetMs, taken);
    if (!taken) return;
    std::lock_guard<std::mutex> lock(m_seeksMutex);
    m_seekToPictureMs.push_back(-1);
    m_seekTakenTickMs = askedTickMs;
    m_seekTargetMs = targetMs;
}

bool HeadlessPlayer::Open(PlaybackReport& report) {
    WatchPictures();
    if (m_options.minimised) m_target.SetMinimised(true);
    const uint64_t startMs = platform::TickMs64();
    const int attached = m_core->Attach(m_target.Handle(), m_notify.Handle());
    const int opened = attached ? m_core->OpenFile(m_options.file.c_str()) : 0;
    report.openMs = static_cast<int64_t>(platform::TickMs64() - startMs);
    if (!attached) Log("the video window could not be attached");
    if (attached && !opened) {
        report.openError = m_core->GetOpenError();  // names the file
        Log("cannot open %s", report.openError.c_str());
    }
    return opened != 0;
}

int64_t HeadlessPlayer::PlayLimitMs() const {
    if (m_options.forMs >= 0) return m_options.forMs;
    const int64_t lastActionMs = m_options.actions.empty() ? 0 : m_options.actions.back().atMs;
    return 4 * m_core->GetDuration() + lastActionMs + kSafetyMarginMs;
}

bool HeadlessPlayer::Perform(const PlayAction& action) {
    switch (action.kind) {
        case PlayActionKind::Pause:
            m_core->Pause();
            Log("pause");
            return true;
        case PlayActionKind::Play:
            m_speedCode = 0;
            Log("play -> %d", m_core->Play());
            return true;
        case PlayActionKind::Step:
            m_speedCode = -1;  // stepping writes no sound; Play ends it
            m_core->StepFrame();
            Log("step");
            return true;
        case PlayActionKind::Speed:
            m_speedCode = static_cast<int>(action.value);
            m_core->SetSpeed(static_cast<int>(action.value));
            Log("speed %" PRId64, action.value);
            return true;
        case PlayActionKind::Seek:
            Seek(action.value);
            return true;
        case PlayActionKind::Snapshot:
            Log("snapshot %s -> %d", action.path.c_str(), m_core->TakeSnapshot(action.path.c_str()));
            return true;
        case PlayActionKind::Stop:
            Log("stop");
            return false;
    }
    return true;
}

RunEnd HeadlessPlayer::PlayUntilEnd() {
    const int64_t limitMs = PlayLimitMs();
    size_t next = 0;
    for (;;) {
        while (next < m_options.actions.size() && m_options.actions[next].atMs <= SincePlayMs()) {
            if (!Perform(m_options.actions[next++])) return RunEnd::StopAction;
        }
        if (m_interrupted.load()) return RunEnd::Interrupted;
        const int64_t nowMs = SincePlayMs();
        if (nowMs >= limitMs) return m_options.forMs >= 0 ? RunEnd::TimeLimit : RunEnd::SafetyLimit;
        int64_t wakeMs = limitMs;
        if (next < m_options.actions.size()) wakeMs = std::min(wakeMs, m_options.actions[next].atMs);
        const auto waitMs = static_cast<uint32_t>(std::clamp<int64_t>(wakeMs - nowMs, 0, kPollMs));
        if (m_notify.WaitFor(platform::kWmCommand, ID_END_OF_FILE, waitMs)) {
            Log("end of file");
            return RunEnd::EndOfFile;
        }
    }
}

PlaybackReport HeadlessPlayer::Run() {
    PlaybackReport report;
    report.file = m_options.file;
    if (!Open(report)) {
        report.end = RunEnd::NotOpened;
        return report;
    }
    Log("opened in %" PRId64 " ms, duration %" PRId64 " ms", report.openMs, m_core->GetDuration());
    const RecordedClock clock = m_core->GetRecordedClock();
    if (m_options.openOnly) {
        report.recordedStart = FormatClockIso8601(clock, 0, ClockZone::Local);
        m_core->StopPlay();
        report.end = RunEnd::OpenOnly;
        return report;
    }

    const double cpuAtPlay = CpuSecondsSoFar();
    m_playTickMs = platform::TickMs64();
    Log("play -> %d", m_core->Play());
    if (m_options.speedGiven) {
        Perform(PlayAction{0, PlayActionKind::Speed, m_options.speedCode, "", ""});
    }
    report.end = PlayUntilEnd();

    report.durationMs = m_core->GetDuration();
    report.finalPositionMs = m_core->GetPosition();
    report.frameRate = m_core->GetFrameRate();
    report.wallSeconds = static_cast<double>(SincePlayMs()) / 1000.0;
    report.cpuSeconds = CpuSecondsSoFar() - cpuAtPlay;
    const uint64_t stopStartMs = platform::TickMs64();
    m_core->StopPlay();
    report.stopMs = static_cast<int64_t>(platform::TickMs64() - stopStartMs);

    report.picturesPushed = m_picturesPushed.load();
    report.picturesPresented = m_target.PresentCount();
    report.firstPictureMs = m_firstPictureMs.load();
    report.recordedStart = FormatClockIso8601(clock, std::max<int64_t>(m_firstPicturePositionMs.load(), 0), ClockZone::Local);
    {
        std::lock_guard<std::mutex> lock(m_seeksMutex);
        report.seekToPictureMs = m_seekToPictureMs;
    }
    {
        std::lock_guard<std::mutex> lock(m_offsetsMutex);
        report.avOffsetsMs = m_avOffsetsMs;
    }
    report.peakRssKb = PeakRssKb();
    return report;
}
