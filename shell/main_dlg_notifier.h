#pragma once
// Where a playback session posts its notifications: a notifier of its own, which hands each one
// on to the main panel's command hub on the user-interface thread. Closing the notifier with its
// session drops whatever that session posted and the panel has not seen yet, so an end of file
// reported by a session that has since been replaced can never end the one that replaced it.
//
// Threads: Deliver runs on the posting thread (a session's worker) under the window registry's
// lock and only posts a Qt event. Everything else runs on the user-interface thread.

#include <QObject>
#include <QPointer>

#include "platform/messages.h"
#include "platform/qt/wnd.h"

class CSessionNotifier : public QObject, private platform::MessageSink {
public:
    explicit CSessionNotifier(platform::CWnd* target);
    ~CSessionNotifier() override;
    CSessionNotifier(const CSessionNotifier&) = delete;
    CSessionNotifier& operator=(const CSessionNotifier&) = delete;

    // The handle the session posts to; null once closed.
    platform::WindowHandle GetSafeHwnd() const { return m_hWnd; }
    // Takes nothing more and hands on nothing more, not even what is already on its way. Safe to
    // call while one of its own notifications is being handled.
    void Close();

protected:
    bool event(QEvent* event) override;

private:
    void Deliver(const platform::Message& message) override;

    QPointer<platform::CWnd> m_pTarget;
    platform::WindowHandle m_hWnd = nullptr;
};
