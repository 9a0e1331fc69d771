#include "platform/qt/message_box.h"
#include "platform/qt/modal_dialog.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {
namespace {

constexpr UINT kButtonsMask = 0x0F;
constexpr UINT kIconMask = 0xF0;

QString& StoredCaption() {
    static QString caption;
    return caption;
}

MessageBoxAnswerer& BoxAnswerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}

QMessageBox::StandardButtons ButtonsOf(UINT type) {
    switch (type & kButtonsMask) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconOf(UINT type) {
    switch (type & kIconMask) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

int IdOf(int button) {
    switch (button) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

}  // namespace

void SetMessageBoxCaption(const QString& caption) { StoredCaption() = caption; }

QString MessageBoxCaption() {
    return StoredCaption().isEmpty() ? QCoreApplication::applicationName() : StoredCaption();
}

int AfxMessageBox(const QString& text, UINT type) {
    if (BoxAnswerer()) return BoxAnswerer()(MessageBoxRequest{MessageBoxCaption(), text, type});
    const QMessageBox::StandardButtons buttons = ButtonsOf(type);
    // Over the active window, so that a box raised from a window kept above the others (full
    // screen) is not hidden behind it.
    QMessageBox box(IconOf(type), MessageBoxCaption(), text, buttons, QApplication::activeWindow());
    if (buttons == (QMessageBox::Yes | QMessageBox::No)) box.setEscapeButton(QMessageBox::No);
    return IdOf(ExecModalDialog(box));
}

void SetMessageBoxAnswererForTests(MessageBoxAnswerer answerer) { BoxAnswerer() = std::move(answerer); }

}  // namespace platform
