// CPlayerCore hands every call to the session inside the engine, so that its users see neither
// FFmpeg nor the workers.

#include "engine/player_core.h"

#include "engine/playback_session.h"

CPlayerCore::CPlayerCore() : m_session(std::make_unique<CPlaybackSession>()) {}
CPlayerCore::~CPlayerCore() = default;

int CPlayerCore::Attach(platform::WindowHandle videoWindow, platform::WindowHandle notifyWindow) {
    return m_session->Attach(videoWindow, notifyWindow);
}
int CPlayerCore::OpenFile(const char* path) { return m_session->OpenFile(path); }
std::string CPlayerCore::GetOpenError() const { return m_session->GetOpenError(); }
int CPlayerCore::Play() { return m_session->Play(); }
void CPlayerCore::Pause() { m_session->Pause(); }
void CPlayerCore::StepFrame() { m_session->StepFrame(); }
void CPlayerCore::SetSpeed(int speedCode) { m_session->SetSpeed(speedCode); }
int CPlayerCore::SeekTo(int64_t targetMs) { return m_session->SeekTo(targetMs); }
int64_t CPlayerCore::GetDuration() const { return m_session->GetDuration(); }
int32_t CPlayerCore::GetPosition() const { return m_session->GetPosition(); }
int CPlayerCore::GetFrameRate() const { return m_session->GetFrameRate(); }
int CPlayerCore::TakeSnapshot(const char* path) { return m_session->TakeSnapshot(path); }
int CPlayerCore::StopPlay() { return m_session->StopPlay(); }
bool CPlayerCore::IsOpened() const { return m_session->IsOpened(); }
bool CPlayerCore::IsPlaying() const { return m_session->IsPlaying(); }
void CPlayerCore::SetPictureObserver(std::function<void(int64_t pictureMs)> observer) {
    m_session->SetPictureObserver(std::move(observer));
}
int64_t CPlayerCore::GetHeardAudioMs() const { return m_session->GetHeardAudioMs(); }
void CPlayerCore::SetSoundMuted(bool muted) { m_session->SetSoundMuted(muted); }
RecordedClock CPlayerCore::GetRecordedClock() const { return m_session->GetRecordedClock(); }
ActivityTimeline CPlayerCore::GetActivity() const { return m_session->GetActivity(); }
const std::string& CPlayerCore::GetFilePath() const { return m_session->GetFilePath(); }
