#pragma once
// Activity of a file without decoding it: a container's packets are read in a pass of their own
// (av_read_frame on a context of its own, beside playback) and their sizes fed to the activity
// finder; a recording's come from its background indexer, which reads every frame header anyway.

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/record/activity_finder.h"
#include "platform/sync.h"

// Threads: Start and Stop on the owner's thread; Timeline on any thread. The pass runs on a
// thread of its own, which Stop (or the destructor) ends and joins.
class CContainerActivityScan {
public:
    CContainerActivityScan() = default;
    ~CContainerActivityScan();
    CContainerActivityScan(const CContainerActivityScan&) = delete;
    CContainerActivityScan& operator=(const CContainerActivityScan&) = delete;

    // Starts the pass over path; false when it is already running.
    bool Start(const std::string& path);
    void Stop();
    // Times in ms from the file's start, as positions count.
    ActivityTimeline Timeline() const { return m_finder.Snapshot(); }

    // The whole pass on the calling thread; false when the file cannot be read as a container.
    bool ScanNow(const std::string& path);

private:
    std::atomic<bool> m_stop{false};
    platform::Thread m_thread;
    ActivityFinder m_finder;  // fed by the pass
};

// The timeline of any file, found on the calling thread: a recording's indexer walk (waiting up to
// timeoutMs for it) or a container's packet pass. complete is false when it was not finished.
ActivityTimeline FindActivity(const char* path, uint32_t timeoutMs);
