#pragma once
// Runs a dialog modally and hands the keyboard back to the window it was shown over.

class QDialog;

namespace platform {

// The dialog's result. A window manager gives the keyboard back to the owner on its own; without
// one, or with one whose focus follows the pointer, the keys would go nowhere until the user
// clicked the window again.
int ExecModalDialog(QDialog& dialog);

}  // namespace platform
