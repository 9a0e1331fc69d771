#include "engine/record/posix_read_file.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

PosixReadFile::~PosixReadFile() { Close(); }

bool PosixReadFile::Open(const char* path, Sharing sharing) {
    Close();
    if (!path) return false;
    // O_NONBLOCK keeps the open of a FIFO without writer from waiting forever; such files are
    // refused just below anyway.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info {};
    bool usable = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (usable && sharing == Sharing::Exclusive) usable = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (usable) usable = ::fcntl(fd, F_SETFL, 0) == 0;
    if (!usable) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_block.resize(kBlockBytes);
    return true;
}

bool PosixReadFile::OpenSameFile(const PosixReadFile& other) {
    Close();
    if (other.m_fd < 0) return false;
    m_fd = ::fcntl(other.m_fd, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0) return false;
    m_block.resize(kBlockBytes);
    return true;
}

uint64_t PosixReadFile::MsSinceModified() const {
    struct stat info {};
    struct timespec now {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0) return UINT64_MAX;
    const int64_t sinceMs = (int64_t(now.tv_sec) - int64_t(info.st_mtim.tv_sec)) * 1000 +
                            (int64_t(now.tv_nsec) - int64_t(info.st_mtim.tv_nsec)) / 1'000'000;
    // A change stamped in the future (a clock set back) counts as just now.
    return sinceMs > 0 ? uint64_t(sinceMs) : 0;
}

void PosixReadFile::Close() {
    if (m_fd >= 0) ::close(m_fd);  // also drops the advisory lock
    m_fd = -1;
    m_blockBytes = 0;
    m_blockOffset = 0;
}

uint64_t PosixReadFile::Size() const {
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || info.st_size < 0) return 0;
    return uint64_t(info.st_size);
}

bool PosixReadFile::CacheHolds(uint64_t offset, size_t size) const {
    return offset >= m_blockOffset && offset - m_blockOffset <= m_blockBytes &&
           size <= m_blockBytes - (offset - m_blockOffset);
}

size_t PosixReadFile::ReadAt(uint64_t offset, void* destination, size_t size) {
    if (m_fd < 0) return 0;
    if (!CacheHolds(offset, size)) {
        if (size >= kBlockBytes) return ReadDirect(offset, destination, size);
        m_blockOffset = offset;
        m_blockBytes = ReadDirect(offset, m_block.data(), kBlockBytes);
    }
    size_t available = offset - m_blockOffset <= m_blockBytes ? m_blockBytes - (offset - m_blockOffset) : 0;
    size_t copied = size < available ? size : available;
    if (copied) std::memcpy(destination, m_block.data() + (offset - m_blockOffset), copied);
    return copied;
}

size_t PosixReadFile::ReadDirect(uint64_t offset, void* destination, size_t size) const {
    auto* out = static_cast<uint8_t*>(destination);
    size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(m_fd, out + done, size - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}
