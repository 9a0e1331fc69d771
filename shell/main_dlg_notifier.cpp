#include "shell/main_dlg_notifier.h"

#include <QCoreApplication>
#include <QEvent>

using namespace platform;

namespace {

const QEvent::Type kNotificationEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct NotificationEvent : QEvent {
    explicit NotificationEvent(const Message& posted) : QEvent(kNotificationEvent), message(posted) {}
    Message message;
};

}  // namespace

CSessionNotifier::CSessionNotifier(CWnd* target) : m_pTarget(target), m_hWnd(RegisterWindow(this)) {}

// Pending notifications are removed with the object.
CSessionNotifier::~CSessionNotifier() { Close(); }

void CSessionNotifier::Close() {
    if (m_hWnd) UnregisterWindow(m_hWnd);
    m_hWnd = nullptr;
    m_pTarget = nullptr;
}

void CSessionNotifier::Deliver(const Message& message) {
    QCoreApplication::postEvent(this, new NotificationEvent(message));
}

bool CSessionNotifier::event(QEvent* event) {
    if (event->type() != kNotificationEvent) return QObject::event(event);
    // Walks the panel's pre-translation like a message posted to the panel itself.
    if (m_pTarget) CWnd::DispatchMessage(m_pTarget, static_cast<NotificationEvent*>(event)->message);
    return true;
}
