#pragma once
// A window that only records what it was posted, in order; tests hand its handle to the engine.

#include <functional>
#include <mutex>
#include <condition_variable>
#include <vector>

#include "platform/messages.h"

namespace platform {

class RecordingWindow : public MessageSink {
public:
    RecordingWindow();
    ~RecordingWindow() override;

    WindowHandle Handle() const { return m_handle; }
    std::vector<Message> Messages() const;
    size_t Count(MessageId message, WParam wParam) const;
    // Waits until a recorded message matches, up to timeoutMs; true when one did.
    bool WaitFor(MessageId message, WParam wParam, uint32_t timeoutMs) const;

    void Deliver(const Message& message) override;

private:
    WindowHandle m_handle;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_arrived;
    std::vector<Message> m_messages;
};

}  // namespace platform
