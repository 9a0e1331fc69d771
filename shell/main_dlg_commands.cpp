// The main panel's command hub: each id of its table with one short handler.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <ctime>
#include <iterator>
#include <utility>
#include <string>
#include <vector>

#include "engine/audio/master_volume.h"
#include "panels/command_ids.h"
#include "language/language_store.h"
#include "panels/pane_texts.h"
#include "shell/main_dlg.h"
#include "shell/main_dlg_rules.h"

using namespace platform;

namespace {

using Handler = void (CMainDlg::*)();

struct Command {
    WParam id;
    Handler handler;
};

// Started from the current directory, as a bare file name is; an installed player works in its
// data folder, so there the converter is the one beside the player's executable.
constexpr const char* kConverterProgram = "./Kadrel";

// The language's "Snapshot saved".

std::string ConverterProgram(const QString& playerPath) {
    if (::access(kConverterProgram, X_OK) == 0) return kConverterProgram;
    const QString besidePlayer = main_panel::ConverterPath(playerPath);
    // A player under another name would find only itself there, and start itself anew.
    if (besidePlayer == playerPath) return kConverterProgram;
    return QFile::encodeName(besidePlayer).toStdString();
}

// Starts program with the given argument vector (argv[0] included) and does not wait for it: the
// intermediate child ends at once, so the program is no child of ours and is never left a zombie.
void StartDetached(const char* program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        // Only calls that are safe after a fork of a threaded process.
        ::setsid();
        if (::fork() == 0) {
            ::execv(program, argv.data());
            ::_exit(127);
        }
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

BOOL CMainDlg::PreTranslateMessage(Message& message) {
    if (message.message == WM_COMMAND && message.wParam != 0 && OnGridCommand(message.wParam)) message.wParam = 0;
    if (message.message == WM_COMMAND) {
        static const Command kCommands[] = {
            {ID_TOGGLE_PLAYLIST, &CMainDlg::OnTogglePlaylist},
            {ID_OPEN_FILE, &CMainDlg::OnOpenFile},
            {ID_STOP, &CMainDlg::OnStop},
            {ID_SLOWER, &CMainDlg::OnSlower},
            {ID_PLAY_PAUSE, &CMainDlg::OnPlayPause},
            {ID_FASTER, &CMainDlg::OnFaster},
            {ID_FRAME_STEP, &CMainDlg::OnFrameStep},
            {ID_MUTE, &CMainDlg::OnMute},
            {ID_VOLUME, &CMainDlg::OnVolume},
            {ID_SEEK, &CMainDlg::OnSeek},
            {ID_CONVERT, &CMainDlg::OnConvert},
            // The playlist pane handles these itself.
            {ID_PLAYLIST_ADD_FOLDER, &CMainDlg::OnNothing},
            {ID_PLAYLIST_DELETE, &CMainDlg::OnNothing},
            {ID_PLAYLIST_PLAY, &CMainDlg::OnPlaylistPlay},
            {ID_TOGGLE_FULL_SCREEN, &CMainDlg::OnToggleFullScreen},
            {ID_SNAPSHOT, &CMainDlg::OnSnapshot},
            {ID_PLAY_DROPPED_FILE, &CMainDlg::OnPlayDroppedFile},
            {ID_END_OF_FILE, &CMainDlg::OnEndOfFile},
        };
        for (const Command& command : kCommands) {
            if (message.wParam != command.id) continue;
            // Cleared first: a handler may run a dialog, during which the message is still ours.
            message.wParam = 0;
            (this->*command.handler)();
            break;
        }
    }
    return CDialogEx::PreTranslateMessage(message);
}

void CMainDlg::OnTogglePlaylist() {
    const bool hide = m_nLayout == main_panel::kLayoutWithPlaylist;
    m_nLayout = hide ? main_panel::kLayoutWithoutPlaylist : main_panel::kLayoutWithPlaylist;
    ShowStrip(m_wndCtrl.m_btnPlaylist, hide ? 1 : 0);
    RecalcLayout();
    RedrawNow(*this);
}

void CMainDlg::OnOpenFile() {
    QStringList paths;
    if (m_wndList.ChooseFiles(paths)) PlayFiles(paths, kSourceOpenButton);
    RedrawNow(m_wndPlay);
}

void CMainDlg::OnStop() {
    if (!m_pPlayer) return;
    ReplacePlayer(false);
    RedrawNow(m_wndPlay);
    m_wndStatus.SetFileName(QString());
    m_wndCtrl.SetPlayState(TRUE);
    m_wndPlay.m_bFullScreenAllowed = 0;
}

void CMainDlg::OnSlower() {
    m_nSpeed = main_panel::NextSlowerSpeed(m_nSpeed);
    ApplySpeed();
}

void CMainDlg::OnFaster() {
    m_nSpeed = main_panel::NextFasterSpeed(m_nSpeed);
    ApplySpeed();
}

void CMainDlg::ApplySpeed() {
    if (!m_pPlayer || !m_pPlayer->IsOpened()) return;
    m_pPlayer->SetSpeed(m_nSpeed);
    m_wndStatus.SetSpeedLabel(m_nSpeed);
}

void CMainDlg::OnPlayPause() {
    if (!m_pPlayer) {
        if (!m_strCurFile.isEmpty()) OpenAndPlay(m_strCurFile, m_nSource, true);
        return;
    }
    if (!m_pPlayer->IsOpened()) return;
    if (m_pPlayer->IsPlaying()) {
        m_pPlayer->Pause();
        m_wndCtrl.SetPlayState(TRUE);
    } else {
        m_pPlayer->Play();
        ShowStrip(m_wndCtrl.m_btnPlay, 1);
    }
}

// A step returns the session to normal speed: the panel's speed and its mark follow, so the next
// speed press starts from normal.
void CMainDlg::OnFrameStep() {
    if (!m_pPlayer || !m_pPlayer->IsOpened()) return;
    m_pPlayer->StepFrame();
    m_nSpeed = 0;
    m_wndStatus.SetSpeedLabel(m_nSpeed);
}

void CMainDlg::OnMute() {
    CMButton& button = m_wndCtrl.m_btnVolume;
    if (button.m_bTwoImages && button.m_nImage == 0) {
        m_nSavedVolume = static_cast<int>(m_wndCtrl.GetVolume());
        m_wndCtrl.SetVolume(0);
        if (m_pPlayer) SetMasterVolume(0);
        ShowStrip(button, 1);
        return;
    }
    ShowStrip(button, 0);
    m_wndCtrl.SetVolume(static_cast<uint32_t>(m_nSavedVolume));
    if (m_pPlayer) SetMasterVolume(static_cast<uint32_t>(m_nSavedVolume));
}

// A volume set anew ends a mute, so the next mute press saves this volume, not the one before.
void CMainDlg::OnVolume() {
    CMButton& button = m_wndCtrl.m_btnVolume;
    if (button.m_bTwoImages && button.m_nImage == 1) ShowStrip(button, 0);
    SetMasterVolume(m_wndCtrl.GetVolume());
}

// A refused seek changes nothing. A paused session shows the picture at the target and stays
// paused.
void CMainDlg::OnSeek() {
    const uint32_t target = m_wndCtrl.m_sliderSeek.GetPos();
    if (m_pPlayer && m_pPlayer->IsOpened()) m_pPlayer->SeekTo(target);
}

void CMainDlg::SeekBy(int deltaMs) {
    if (SeekGridBy(deltaMs)) return;
    if (!m_pPlayer || !m_pPlayer->IsOpened()) return;
    m_pPlayer->SeekTo(main_panel::RelativeSeekTarget(m_pPlayer->GetPosition(), m_pPlayer->GetDuration(), deltaMs));
}

// Through the slider, as a drag of it would, so the slider, the master volume and the next mute
// agree; a mute ends, since the volume is set anew.
void CMainDlg::StepVolume(int steps) {
    m_wndCtrl.SetVolume(main_panel::SteppedVolume(m_wndCtrl.GetVolume(), steps));
    OnVolume();
}

bool CMainDlg::OwnsKeyboardOf(const QWidget& topLevel) const {
    return &topLevel == window() || (m_wndPlay.m_bFullScreen == 1 && &topLevel == &m_wndPlay);
}

void CMainDlg::OnConvert() { LaunchConverter(); }

void CMainDlg::OnPlaylistPlay() {
    QString path;
    if (m_wndList.GetCurrentPath(path)) OpenAndPlay(path, kSourcePlaylist);
    RedrawNow(m_wndPlay);
}

void CMainDlg::OnToggleFullScreen() { m_wndPlay.ToggleFullScreen(); }

void CMainDlg::OnPlayDroppedFile() {
    const int64_t startMs = std::exchange(m_nStartPositionMs, 0);
    if (m_wndPlay.m_strDropFile.isEmpty()) return;
    OpenAndPlay(m_wndPlay.m_strDropFile, kSourceDropped);
    if (startMs <= 0 || !m_pPlayer || !m_pPlayer->IsOpened()) return;
    m_nStartPositionMs = startMs;
    m_nStartSeekTries = 0;
    m_startSeekTimer.start();
}

// The playlist does not advance: the next file waits for the user.
void CMainDlg::OnEndOfFile() {
    if (m_pPlayer && m_pPlayer->IsOpened()) ReplacePlayer(false);
    ShowNoFile();
}

QString CMainDlg::SnapshotFolder() {
    QString folder;
    if (m_nSource == kSourcePlaylist || m_nSource == kSourceOpenButton) {
        if (!m_wndList.GetSnapshotFolder(folder)) return QString();
        return folder;
    }
    if (m_nSource == kSourceDropped) return m_wndPlay.m_strDropFolder;
    return QString();
}

// Paused or playing, the picture shown is taken; a second one in the same second gets a name of
// its own. The status bar names the file saved for a moment. A refused snapshot (no picture,
// unwritable folder) leaves no file.
void CMainDlg::OnSnapshot() {
    const QString folder = SnapshotFolder();
    if (folder.isEmpty() || !m_pPlayer) return;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return;
    const QString path = main_panel::FreeSnapshotPath(folder, local, [](const QString& candidate) {
        return QFileInfo::exists(candidate);
    });
    if (!m_pPlayer->TakeSnapshot(QFile::encodeName(path).constData())) return;
    m_wndStatus.ShowNotice(PaneText(main_panel::kSnapshotSavedText) + QStringLiteral(": ") + path);
}

// The tool is started and left alone; a missing tool is not reported. It gets the playing file
// with its absolute path, as it starts in a folder of its own, and the clip marked in it.
void CMainDlg::LaunchConverter() {
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const bool playing = m_pPlayer && m_pPlayer->IsOpened();
    const QString file = playing ? QFileInfo(m_strCurFile).absoluteFilePath() : QString();
    const auto stretch = playing ? m_marks.Stretch(m_pPlayer->GetDuration()) : std::nullopt;
    const QStringList arguments = main_panel::ConverterArguments(
        main_panel::ConverterPath(self), LanguageStore::Global().CurrentLanguage(), file, stretch);
    std::vector<std::string> argv;
    for (const QString& argument : arguments) argv.push_back(QFile::encodeName(argument).toStdString());
    const std::string program = ConverterProgram(self);
    // Looked for first: a fork of this whole process for a tool that is not there is wasted.
    if (::access(program.c_str(), X_OK) != 0) return;
    StartDetached(program.c_str(), argv);
}
