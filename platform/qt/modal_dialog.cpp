#include "platform/qt/modal_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace platform {

int ExecModalDialog(QDialog& dialog) {
    QWidget* parent = dialog.parentWidget();
    // Guarded: the owner may be closed while the dialog runs.
    const QPointer<QWidget> owner = parent ? parent->window() : QApplication::activeWindow();
    const int result = dialog.exec();
    if (owner && owner->isVisible()) owner->activateWindow();
    return result;
}

}  // namespace platform
