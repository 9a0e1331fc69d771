#pragma once
// What this process holds right now, read from /proc: resident memory, threads, open descriptors.

#include <cstdint>

struct ProcessFigures {
    uint64_t residentKb = 0;
    int threads = 0;
    int fileDescriptors = 0;

    static ProcessFigures Now();
};
