#pragma once
// The player's keys. One table maps a key to what it does: most post the command id of the button
// that does the same to the main panel, so a key goes the same way as a click; the relative seek
// and the volume steps, which no button has, call small operations of the panel.
//
// CKeyShortcuts applies the table through an application-wide event filter, so the keys work
// whichever pane has the focus and in full screen, where the video pane is a window of its own.
// It leaves every key alone while a dialog (the open dialog, the About box) or a menu has the
// keyboard, and keeps Enter and Esc from the main window, where they would end the program.
// User-interface thread only.

#include <QObject>
#include <Qt>
#include <span>

class CMainDlg;
class QKeyEvent;
class QWidget;

enum class KeyAction {
    Command,       // post the command id in `argument` to the main panel
    SeekBy,        // seek `argument` ms from the playing position
    StepVolume,    // move the volume `argument` steps
    VideoPaneOwn,  // handled by the video pane itself (Esc in full screen); listed only
    ClockOverlay,  // show or hide the recorded time over the full-screen picture
    GoTo,          // ask for a recorded time or an offset and seek there
    JumpActivity,  // seek to the start of the next (argument 1) or previous (-1) activity
    ClipMark,      // mark the start (argument 0) or the end (1) of a clip at the playing position
    ExportClip,    // hand the playing file and its marked clip to the converter
    ClockZone,     // show the recorded time as UTC or in the computer's zone
};

struct KeyShortcut {
    int key;                           // a Qt::Key
    Qt::KeyboardModifiers modifiers;   // Ctrl, Alt and Meta must match; Shift and keypad are ignored
    KeyAction action;
    int argument;
    bool repeats;                      // whether a held key acts again on every repeat
    const char* keyName;               // for the list in the About box
    const char* description;
};

std::span<const KeyShortcut> KeyShortcuts();

// The entry for a key press; null when the key is not the player's, or is a repeat of one that
// does not repeat, or is handled elsewhere.
const KeyShortcut* FindKeyShortcut(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

class CKeyShortcuts : public QObject {
public:
    // Installs the filter on the application; the panel must outlive this object.
    explicit CKeyShortcuts(CMainDlg& panel);
    ~CKeyShortcuts() override;
    CKeyShortcuts(const CKeyShortcuts&) = delete;
    CKeyShortcuts& operator=(const CKeyShortcuts&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool KeyboardIsThePlayers(const QWidget& receiver) const;
    bool WouldCloseTheMainWindow(const QWidget& receiver, int key) const;
    void Apply(const KeyShortcut& shortcut);

    CMainDlg& m_panel;
};
