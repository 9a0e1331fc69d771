// Input translation: the toolkit's pointer, wheel, key and drop events become the window's
// messages and handlers, with the platform's rules where the toolkit's differ (no implicit capture
// while a button is held, a disabled child's messages going to its parent, the system menu key).

#include "platform/qt/wnd.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>

#include "platform/qt/drop_files.h"
#include "platform/qt/key_codes.h"
#include "platform/qt/mouse_tracker.h"

namespace platform {

// The window a held button's moves went to last, so that leaving it is told at once.
QPointer<CWnd> CWnd::s_pHeldOver;

namespace {

UINT MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    UINT flags = 0;
    if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
    return flags;
}

Point ClientPoint(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return Point{p.x(), p.y()};
}

}  // namespace

void CWnd::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (!m_hWnd) return;
    s_pHeldOver.clear();  // a new press starts a new gesture
    NotePointer(event->position().toPoint());
    const UINT flags = MouseFlags(event->buttons(), event->modifiers());
    if (event->button() == Qt::LeftButton) OnLButtonDown(flags, ClientPoint(event));
    else if (event->button() == Qt::RightButton) OnRButtonDown(flags, ClientPoint(event));
}

void CWnd::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (!m_hWnd) return;
    const UINT flags = MouseFlags(event->buttons(), event->modifiers());
    const QPoint global = event->globalPosition().toPoint();
    QPointer<CWnd> receiver = m_bCapture ? this : WindowUnderPointer(global);
    s_pHeldOver.clear();
    if (!receiver) return;
    const QPoint local = receiver == this ? event->position().toPoint() : receiver->mapFromGlobal(global);
    const Point point{local.x(), local.y()};
    if (event->button() == Qt::LeftButton) receiver->OnLButtonUp(flags, point);
    else if (event->button() == Qt::RightButton) receiver->OnRButtonUp(flags, point);
}

void CWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (!m_hWnd) return;
    const UINT flags = MouseFlags(event->buttons(), event->modifiers());
    if (event->button() == Qt::LeftButton) OnLButtonDblClk(flags, ClientPoint(event));
    else if (event->button() == Qt::RightButton) OnRButtonDown(flags, ClientPoint(event));
}

void CWnd::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!m_hWnd) return;
    const UINT flags = MouseFlags(event->buttons(), event->modifiers());
    if (event->buttons() == Qt::NoButton || m_bCapture) {
        HandleMove(event->position().toPoint(), flags);
        return;
    }
    const QPoint global = event->globalPosition().toPoint();
    QPointer<CWnd> receiver = WindowUnderPointer(global);
    LeaveIfOutside(this, global);
    if (s_pHeldOver != receiver) LeaveIfOutside(s_pHeldOver, global);
    s_pHeldOver = receiver;
    if (receiver) receiver->HandleMove(receiver->mapFromGlobal(global), flags);
}

void CWnd::HandleMove(const QPoint& clientPoint, UINT flags) {
    m_bCursorSetThisMove = false;
    NotePointer(clientPoint);
    OnMouseMove(flags, Point{clientPoint.x(), clientPoint.y()});
    // The class cursor comes back on every move the handler leaves alone.
    if (!m_bCursorSetThisMove && cursor().shape() != Qt::ArrowCursor) unsetCursor();
}

// The window the platform would give a mouse message at global: the innermost of our windows
// there that exists and is enabled (a disabled child's messages go to its parent); null over
// anything else.
CWnd* CWnd::WindowUnderPointer(const QPoint& global) {
    for (QWidget* widget = QApplication::widgetAt(global); widget; widget = widget->parentWidget()) {
        auto* window = dynamic_cast<CWnd*>(widget);
        if (window && window->m_hWnd && window->isEnabled()) return window;
    }
    return nullptr;
}

// A pointer that moved off a window while a button is held is a leave at once, as without capture
// on the platform; Qt would hold it back until the release. Moving into a child is not a leave.
void CWnd::LeaveIfOutside(CWnd* window, const QPoint& global) {
    if (!window || window->rect().contains(window->mapFromGlobal(global))) return;
    window->m_bPointerInside = false;
    window->m_pTracker->PointerLeft();
}

void CWnd::SetCapture() { m_bCapture = true; }
void CWnd::ReleaseCapture() { m_bCapture = false; }

void CWnd::wheelEvent(QWheelEvent* event) {
    if (!m_hWnd) return;
    const QPoint global = event->globalPosition().toPoint();
    const short delta = static_cast<short>(event->angleDelta().y());
    if (OnMouseWheel(MouseFlags(event->buttons(), event->modifiers()), delta, Point{global.x(), global.y()}))
        event->accept();
    else
        event->ignore();
}

void CWnd::NotePointer(const QPoint& clientPoint) {
    m_ptLastMouse = Point{clientPoint.x(), clientPoint.y()};
    m_bPointerInside = rect().contains(clientPoint);
}

void CWnd::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    NotePointer(event->position().toPoint());
    m_bPointerInside = true;
}

void CWnd::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    m_bPointerInside = false;
    m_pTracker->PointerLeft();
}

void CWnd::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (!m_hWnd) return;
    if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        // The system menu's key: a focused button must not take it as its own Space.
        CWnd* top = this;
        while (CWnd* parent = top->GetParent()) top = parent;
        top->PostMessage(WM_SYSCOMMAND, SC_KEYMENU, ' ');
        return;
    }
    Message message{WM_KEYDOWN, VirtualKeyFromQtKey(event->key()), 0};
    QPointer<CWnd> self(this);
    if (PreTranslateWalk(this, message) || !self) return;
    OnKeyDown(static_cast<UINT>(message.wParam), event->isAutoRepeat() ? 2 : 1, 0);
}

void CWnd::dragEnterEvent(QDragEnterEvent* event) {
    if (m_hWnd && acceptDrops() && event->mimeData() && CarriesFiles(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CWnd::dropEvent(QDropEvent* event) {
    if (!m_hWnd || !acceptDrops() || !event->mimeData() || !CarriesFiles(*event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    OnDropFiles(DroppedFilePaths(*event->mimeData()));
}

}  // namespace platform
