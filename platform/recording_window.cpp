#include "platform/recording_window.h"

#include <algorithm>
#include <chrono>

namespace platform {

RecordingWindow::RecordingWindow() : m_handle(RegisterWindow(this)) {}

RecordingWindow::~RecordingWindow() { UnregisterWindow(m_handle); }

void RecordingWindow::Deliver(const Message& message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(message);
    m_arrived.notify_all();
}

std::vector<Message> RecordingWindow::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

static bool Matches(const Message& m, MessageId message, WParam wParam) {
    return m.message == message && m.wParam == wParam;
}

size_t RecordingWindow::Count(MessageId message, WParam wParam) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_messages.begin(), m_messages.end(),
                                              [&](const Message& m) { return Matches(m, message, wParam); }));
}

bool RecordingWindow::WaitFor(MessageId message, WParam wParam, uint32_t timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::any_of(m_messages.begin(), m_messages.end(),
                           [&](const Message& m) { return Matches(m, message, wParam); });
    });
}

}  // namespace platform
