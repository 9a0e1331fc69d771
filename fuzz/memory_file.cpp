#include "fuzz/memory_file.h"

#include <sys/mman.h>
#include <unistd.h>

MemoryFile::MemoryFile(const uint8_t* data, size_t size) : m_fd(::memfd_create("fuzz-input", MFD_CLOEXEC)) {
    if (m_fd < 0) return;
    size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(m_fd, data + done, size - done);
        if (put <= 0) return;
        done += static_cast<size_t>(put);
    }
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

MemoryFile::~MemoryFile() {
    if (m_fd >= 0) ::close(m_fd);
}
