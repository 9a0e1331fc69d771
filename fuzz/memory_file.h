#pragma once
// A fuzz input as a file that lives in memory: the product opens files by path, so each input is
// written to an anonymous memory file and handed on as /proc/self/fd/<n>, which costs no disk.

#include <cstddef>
#include <cstdint>
#include <string>

class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Empty when the file could not be made.
    const std::string& Path() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};
