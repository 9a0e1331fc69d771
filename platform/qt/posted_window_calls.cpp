#include "platform/qt/posted_window_calls.h"

#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

// A text does not fit in a message's two words, so it waits here, one per window, and the message
// only says that it is there. Keeping just the last one also means a worker that sets a text
// faster than the window applies it cannot pile up a backlog.
struct TextMailbox {
    std::mutex mutex;
    std::unordered_map<WindowHandle, QString> texts;
};

TextMailbox& Mailbox() {
    static TextMailbox mailbox;
    return mailbox;
}

}  // namespace

BOOL PostInvalidate(WindowHandle window, BOOL erase) {
    if (!window) return FALSE;
    return PostMessage(window, posted_calls::kInvalidate, erase ? 1 : 0, 0) ? TRUE : FALSE;
}

BOOL PostWindowText(WindowHandle window, const QString& text) {
    if (!window) return FALSE;
    {
        std::lock_guard<std::mutex> lock(Mailbox().mutex);
        Mailbox().texts[window] = text;
    }
    if (PostMessage(window, posted_calls::kWindowText, 0, 0)) return TRUE;
    // Handles are never reused, so nothing but this call can still be waiting under a dead one.
    posted_calls::DiscardWindowText(window);
    return FALSE;
}

namespace posted_calls {

bool TakeWindowText(WindowHandle window, QString& text) {
    std::lock_guard<std::mutex> lock(Mailbox().mutex);
    auto found = Mailbox().texts.find(window);
    if (found == Mailbox().texts.end()) return false;
    text = std::move(found->second);
    Mailbox().texts.erase(found);
    return true;
}

void DiscardWindowText(WindowHandle window) {
    std::lock_guard<std::mutex> lock(Mailbox().mutex);
    Mailbox().texts.erase(window);
}

}  // namespace posted_calls
}  // namespace platform
