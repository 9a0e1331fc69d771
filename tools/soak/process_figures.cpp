#include "tools/soak/process_figures.h"

#include <dirent.h>

#include <cstdio>
#include <cstring>

namespace {

int CountEntries(const char* folder) {
    DIR* dir = ::opendir(folder);
    if (!dir) return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(dir);
    return count;
}

uint64_t ResidentKb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    unsigned long long kb = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmRSS: %llu kB", &kb) == 1) break;
    }
    std::fclose(status);
    return kb;
}

}  // namespace

ProcessFigures ProcessFigures::Now() {
    ProcessFigures figures;
    figures.residentKb = ResidentKb();
    figures.threads = CountEntries("/proc/self/task");
    // The listing holds its own descriptor while it reads.
    figures.fileDescriptors = CountEntries("/proc/self/fd") - 1;
    return figures;
}
