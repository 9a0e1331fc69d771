#include "shell/key_shortcuts.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include "panels/command_ids.h"
#include "shell/main_dlg.h"

using namespace platform;

namespace {

constexpr int kSeekStepMs = 10000;
constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
// Shift is left out: on many layouts [ and ] need it, and an upper-case letter means the same.
constexpr Qt::KeyboardModifiers kCompared = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

constexpr KeyShortcut kShortcuts[] = {
    {Qt::Key_Space, kNone, KeyAction::Command, ID_PLAY_PAUSE, false, "Space", "Play or pause"},
    {Qt::Key_Right, kNone, KeyAction::Command, ID_FRAME_STEP, true, "Right", "Next frame"},
    {Qt::Key_BracketLeft, kNone, KeyAction::Command, ID_SLOWER, false, "[", "Slower"},
    {Qt::Key_BracketRight, kNone, KeyAction::Command, ID_FASTER, false, "]", "Faster"},
    {Qt::Key_Left, kCtrl, KeyAction::SeekBy, -kSeekStepMs, true, "Ctrl+Left", "Back 10 seconds"},
    {Qt::Key_Right, kCtrl, KeyAction::SeekBy, kSeekStepMs, true, "Ctrl+Right", "Forward 10 seconds"},
    {Qt::Key_F, kNone, KeyAction::Command, ID_TOGGLE_FULL_SCREEN, false, "F", "Full screen"},
    {Qt::Key_Escape, kNone, KeyAction::VideoPaneOwn, 0, false, "Esc", "Leave full screen"},
    {Qt::Key_M, kNone, KeyAction::Command, ID_MUTE, false, "M", "Mute or sound on"},
    {Qt::Key_Up, kNone, KeyAction::StepVolume, 1, true, "Up", "Louder"},
    {Qt::Key_Down, kNone, KeyAction::StepVolume, -1, true, "Down", "Quieter"},
    {Qt::Key_S, kNone, KeyAction::Command, ID_SNAPSHOT, false, "S", "Snapshot"},
    {Qt::Key_O, kNone, KeyAction::Command, ID_OPEN_FILE, false, "O", "Open a file"},
    {Qt::Key_C, kNone, KeyAction::ClockOverlay, 0, false, "C", "Recorded time over the full-screen picture"},
    {Qt::Key_G, kCtrl, KeyAction::GoTo, 0, false, "Ctrl+G", "Go to a recorded time or an offset"},
    {Qt::Key_N, kNone, KeyAction::JumpActivity, 1, true, "N", "Next activity"},
    {Qt::Key_P, kNone, KeyAction::JumpActivity, -1, true, "P", "Previous activity"},
    {Qt::Key_B, kNone, KeyAction::ClipMark, 0, false, "B", "Mark the start of a clip"},
    {Qt::Key_E, kNone, KeyAction::ClipMark, 1, false, "E", "Mark the end of a clip"},
    {Qt::Key_E, kCtrl, KeyAction::ExportClip, 0, false, "Ctrl+E", "Export the marked clip"},
    {Qt::Key_U, kNone, KeyAction::ClockZone, 0, false, "U", "Recorded time in UTC"},
    {Qt::Key_S, kCtrl, KeyAction::Command, ID_SNAPSHOT_TILES, false, "Ctrl+S", "Snapshot of every camera"},
};

}  // namespace

std::span<const KeyShortcut> KeyShortcuts() { return kShortcuts; }

const KeyShortcut* FindKeyShortcut(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat) {
    for (const KeyShortcut& shortcut : kShortcuts) {
        if (shortcut.key != key || (modifiers & kCompared) != shortcut.modifiers) continue;
        if (shortcut.action == KeyAction::VideoPaneOwn || (autoRepeat && !shortcut.repeats)) return nullptr;
        return &shortcut;
    }
    return nullptr;
}

CKeyShortcuts::CKeyShortcuts(CMainDlg& panel) : m_panel(panel) { qApp->installEventFilter(this); }

CKeyShortcuts::~CKeyShortcuts() {
    if (qApp) qApp->removeEventFilter(this);
}

bool CKeyShortcuts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto& receiver = *static_cast<QWidget*>(watched);
    if (WouldCloseTheMainWindow(receiver, key->key())) return true;
    const KeyShortcut* shortcut = FindKeyShortcut(key->key(), key->modifiers(), key->isAutoRepeat());
    if (!shortcut || !KeyboardIsThePlayers(receiver)) return false;
    Apply(*shortcut);
    return true;
}

// The main window is a dialog whose OK and cancel end the program, and the dialog keys reach them
// whenever no pane holds the focus. Esc is pressed by habit to leave full screen, once too often,
// and Enter by accident: neither may close the player and its playlist. Dialogs, menus and the
// full-screen picture are windows of their own and keep these keys.
bool CKeyShortcuts::WouldCloseTheMainWindow(const QWidget& receiver, int key) const {
    if (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    return receiver.window() == m_panel.window() && KeyboardIsThePlayers(receiver);
}

// The main window runs modally itself: any other modal window is a dialog in front of it.
bool CKeyShortcuts::KeyboardIsThePlayers(const QWidget& receiver) const {
    if (QApplication::activePopupWidget()) return false;
    const QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != m_panel.window()) return false;
    return m_panel.OwnsKeyboardOf(*receiver.window());
}

void CKeyShortcuts::Apply(const KeyShortcut& shortcut) {
    switch (shortcut.action) {
    case KeyAction::Command: m_panel.PostMessage(WM_COMMAND, static_cast<WParam>(shortcut.argument), 0); break;
    case KeyAction::SeekBy: m_panel.SeekBy(shortcut.argument); break;
    case KeyAction::StepVolume: m_panel.StepVolume(shortcut.argument); break;
    case KeyAction::VideoPaneOwn: break;
    case KeyAction::ClockOverlay: m_panel.ToggleClockOverlay(); break;
    // The dialog runs a loop of its own: not from inside this filter.
    case KeyAction::JumpActivity: m_panel.JumpToActivity(shortcut.argument); break;
    case KeyAction::ClipMark: m_panel.SetClipMark(shortcut.argument); break;
    case KeyAction::ExportClip: m_panel.ExportClip(); break;
    case KeyAction::ClockZone: m_panel.ToggleClockZone(); break;
    case KeyAction::GoTo: QTimer::singleShot(0, &m_panel, [panel = &m_panel] { panel->ShowGoTo(); }); break;
    }
}
