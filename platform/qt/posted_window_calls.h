#pragma once
// Redraws and window texts asked for from any thread. Each call only hands the request to the
// window's message queue and returns: it never waits for the user-interface thread, and it fails,
// doing nothing, when the handle is null or its window is gone. The user-interface thread carries
// the request out when the message arrives; a window destroyed before then simply drops it.
// The messages are the window's own: no PreTranslateMessage or WindowProc ever sees them.

#include <QString>

#include "platform/messages.h"
#include "platform/qt/win_defs.h"

namespace platform {

// The window's Invalidate(erase) on the user-interface thread.
BOOL PostInvalidate(WindowHandle window, BOOL erase = TRUE);
// The window's SetWindowText(text) on the user-interface thread. Texts posted before the first
// is applied collapse into the last one.
BOOL PostWindowText(WindowHandle window, const QString& text);

namespace posted_calls {

constexpr MessageId kInvalidate = 0xC0E0;
constexpr MessageId kWindowText = 0xC0E1;

// For the window itself: the text waiting for window, if any, which is then no longer waiting.
bool TakeWindowText(WindowHandle window, QString& text);
// For the window itself, once its handle is unregistered: drops a text that will never arrive.
void DiscardWindowText(WindowHandle window);

}  // namespace posted_calls
}  // namespace platform
