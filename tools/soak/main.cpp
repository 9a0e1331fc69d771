// telvane-soak: plays N sessions over the given files in turn (open, play, pause, step, seek,
// snapshot, speed, stop) on one off-screen window and prints the process's resident memory,
// threads and descriptors before and after, and the longest stop. Exits 1 when memory grew by
// more than the allowance after warm-up, a thread or descriptor was left behind, or a stop took
// over a second.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "tools/soak/process_figures.h"
#include "tools/soak/soak_runner.h"

namespace {

constexpr int kDefaultCycles = 1000;
constexpr int kWarmUpCycles = 20;
constexpr uint64_t kGrowthAllowanceKb = 8 * 1024;
constexpr uint64_t kLongestFairStopMs = 1000;

struct SoakOptions {
    int cycles = kDefaultCycles;
    std::vector<std::string> files;
};

bool ParseOptions(int argc, char** argv, SoakOptions* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--cycles" && i + 1 < argc) {
            options->cycles = std::atoi(argv[++i]);
        } else if (arg.starts_with("--")) {
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return options->cycles > 0 && !options->files.empty();
}

void PrintFigures(const char* when, const ProcessFigures& figures) {
    std::printf("%s: resident %llu kB, %d threads, %d file descriptors\n", when,
                static_cast<unsigned long long>(figures.residentKb), figures.threads, figures.fileDescriptors);
}

}  // namespace

int main(int argc, char** argv) {
    // A soak runs for many minutes: each line should show as soon as it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    SoakOptions options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: telvane-soak [--cycles N] FILE...\n");
        return 2;
    }
    const ProcessFigures before = ProcessFigures::Now();
    PrintFigures("start", before);
    const std::string snapshot = "/tmp/telvane-soak-" + std::to_string(::getpid()) + ".jpg";
    ProcessFigures warm;
    uint64_t longestStopMs = 0;
    int opened = 0, seeks = 0, snapshots = 0, slowStops = 0;
    {
        SoakRunner runner(snapshot);
        for (int cycle = 0; cycle < options.cycles; ++cycle) {
            const std::string& file = options.files[static_cast<size_t>(cycle) % options.files.size()];
            const SoakCycleResult result = runner.RunCycle(file);
            opened += result.opened;
            seeks += result.seekTaken;
            snapshots += result.snapshotWritten;
            longestStopMs = std::max(longestStopMs, result.stopMs);
            if (result.stopMs > kLongestFairStopMs) {
                ++slowStops;
                std::printf("cycle %d: stop of %s took %llu ms\n", cycle + 1, file.c_str(),
                            static_cast<unsigned long long>(result.stopMs));
            }
            if (cycle + 1 == std::min(kWarmUpCycles, options.cycles)) {
                warm = ProcessFigures::Now();
                PrintFigures("after warm-up", warm);
            }
            if ((cycle + 1) % 100 == 0) PrintFigures(("cycle " + std::to_string(cycle + 1)).c_str(), ProcessFigures::Now());
        }
    }
    std::remove(snapshot.c_str());
    const ProcessFigures after = ProcessFigures::Now();
    PrintFigures("end", after);
    std::printf("%d cycles: %d opened, %d seeks taken, %d snapshots written, longest stop %llu ms\n",
                options.cycles, opened, seeks, snapshots, static_cast<unsigned long long>(longestStopMs));

    bool sound = true;
    if (after.residentKb > warm.residentKb + kGrowthAllowanceKb) {
        std::printf("FAIL: resident memory grew by %llu kB after warm-up\n",
                    static_cast<unsigned long long>(after.residentKb - warm.residentKb));
        sound = false;
    }
    // Threads against the warm-up figure: a runtime may start one of its own for the process's
    // life on first need (the race checker does); one a session leaves grows with the cycles.
    if (after.threads > warm.threads || after.fileDescriptors > before.fileDescriptors) {
        std::printf("FAIL: %d threads and %d descriptors left behind\n", after.threads - warm.threads,
                    after.fileDescriptors - before.fileDescriptors);
        sound = false;
    }
    if (longestStopMs > kLongestFairStopMs) {
        std::printf("FAIL: %d stops took over %llu ms, the longest %llu ms\n", slowStops,
                    static_cast<unsigned long long>(kLongestFairStopMs),
                    static_cast<unsigned long long>(longestStopMs));
        sound = false;
    }
    if (opened != options.cycles) {
        std::printf("FAIL: %d of %d files did not open\n", options.cycles - opened, options.cycles);
        sound = false;
    }
    return sound ? 0 : 1;
}
