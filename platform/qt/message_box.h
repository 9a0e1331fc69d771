#pragma once
// Message boxes: a modal box with the application's caption, and a way for tests to answer boxes
// without showing them. User-interface thread only.

#include <QString>
#include <functional>

#include "platform/qt/win_defs.h"

namespace platform {

// Buttons (the low four bits of a box's type) and icons (the next four).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// The caption of every box: the application's name as its main window shows it. Until the main
// window sets it, the application's name.
void SetMessageBoxCaption(const QString& caption);
QString MessageBoxCaption();

// Shows text with the buttons and icon of type, over the active window, and returns the button
// chosen (IDOK, IDCANCEL, IDYES, IDNO). Closing the box chooses Cancel, or No when there is no
// Cancel, or OK when OK is the only button.
int AfxMessageBox(const QString& text, UINT type = MB_OK);

// What a test answerer is asked: the box that would have been shown.
struct MessageBoxRequest {
    QString caption;
    QString text;
    UINT type = MB_OK;
};
using MessageBoxAnswerer = std::function<int(const MessageBoxRequest&)>;
// Boxes are answered by answerer instead of being shown; an empty one shows them again.
void SetMessageBoxAnswererForTests(MessageBoxAnswerer answerer);

}  // namespace platform
