#include "tools/soak/soak_runner.h"

#include <cstdio>
#include <memory>

#include "engine/player_core.h"
#include "platform/recording_window.h"
#include "platform/sync.h"

SoakRunner::SoakRunner(std::string snapshotPath) : m_target(320, 240), m_snapshotPath(std::move(snapshotPath)) {}

SoakCycleResult SoakRunner::RunCycle(const std::string& file) {
    SoakCycleResult result;
    // A notifier per session, as the main panel gives each session its own.
    platform::RecordingWindow notify;
    auto session = std::make_unique<CPlayerCore>();
    session->Attach(m_target.Handle(), notify.Handle());
    result.opened = session->OpenFile(file.c_str()) != 0;
    if (result.opened) {
        session->Play();
        platform::Sleep(kPlayMs);
        session->Pause();
        session->StepFrame();
        platform::Sleep(kCommandGapMs);
        session->StepFrame();
        session->Play();
        platform::Sleep(kCommandGapMs);
        result.seekTaken = session->SeekTo(session->GetDuration() / 2) != 0;
        platform::Sleep(kPlayMs);
        std::remove(m_snapshotPath.c_str());
        result.snapshotWritten = session->TakeSnapshot(m_snapshotPath.c_str()) != 0;
        session->SetSpeed(4);
        platform::Sleep(kCommandGapMs);
        const uint64_t stopStartMs = platform::TickMs64();
        session->StopPlay();
        result.stopMs = platform::TickMs64() - stopStartMs;
    }
    session.reset();
    return result;
}
