#include "engine/convert/pending_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kNameAttempts = 1000;

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Moves from to to unless to exists. Some file systems (network shares, FAT) cannot refuse
// atomically; there the check comes just before the move.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

PendingOutput::~PendingOutput() {
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
}

bool PendingOutput::Create(const std::string& wantedPath, std::string* detail) {
    const std::string folder = FolderOf(wantedPath);
    const std::string stem = folder + "." + NameOf(wantedPath) + ".part-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string candidate = stem + std::to_string(attempt);
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_wanted = wantedPath;
            m_temporary = candidate;
            return true;
        }
        if (errno != EEXIST) break;
    }
    *detail = std::strerror(errno);
    return false;
}

std::string PendingOutput::CandidateName(const std::string& wanted, int attempt) {
    if (attempt <= 1) return wanted;
    const std::string name = NameOf(wanted);
    size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string::npos) dot = name.size();
    return FolderOf(wanted) + name.substr(0, dot) + " (" + std::to_string(attempt) + ")" + name.substr(dot);
}

bool PendingOutput::Commit(std::string* finalPath, std::string* detail) {
    if (m_temporary.empty()) return false;
    int error = EEXIST;
    for (int attempt = 1; attempt <= kNameAttempts && error == EEXIST; ++attempt) {
        std::string candidate = CandidateName(m_wanted, attempt);
        error = MoveWithoutReplacing(m_temporary, candidate);
        if (error == 0) {
            *finalPath = candidate;
            m_temporary.clear();
            return true;
        }
    }
    *detail = std::strerror(error);
    return false;
}
