#pragma once
// The recording reader's view of a file: read-only POSIX access at explicit offsets with a small
// read-ahead block, so that hopping over many small frames costs one system call per block rather
// than one per frame header.

#include <cstddef>
#include <cstdint>
#include <vector>

class PosixReadFile {
public:
    enum class Sharing {
        Shared,     // any number of openers
        Exclusive,  // holds an exclusive advisory lock; fails when another opener holds one
    };

    PosixReadFile() = default;
    ~PosixReadFile();
    PosixReadFile(const PosixReadFile&) = delete;
    PosixReadFile& operator=(const PosixReadFile&) = delete;

    // Opens a regular file for reading. Never blocks: a FIFO, a device or a directory is refused
    // rather than waited on, and a lock held elsewhere makes the open fail instead of waiting.
    bool Open(const char* path, Sharing sharing);
    // A second view of the file another object has open: its own read-ahead block on the same
    // open file, so a second thread reads without disturbing the first and shares its lock.
    bool OpenSameFile(const PosixReadFile& other);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    // Milliseconds since the file's content last changed; a large value when unknown.
    uint64_t MsSinceModified() const;

    // Current length in bytes (asked of the file system, so a growing file is seen growing).
    uint64_t Size() const;

    // Copies up to size bytes from offset into destination; returns how many arrived (fewer at the
    // end of the file or on a read error).
    size_t ReadAt(uint64_t offset, void* destination, size_t size);

private:
    size_t ReadDirect(uint64_t offset, void* destination, size_t size) const;
    bool CacheHolds(uint64_t offset, size_t size) const;

    static constexpr size_t kBlockBytes = 64 * 1024;

    int m_fd = -1;
    std::vector<uint8_t> m_block;  // bytes of the file from m_blockOffset on
    size_t m_blockBytes = 0;       // how many of m_block are valid
    uint64_t m_blockOffset = 0;
};
