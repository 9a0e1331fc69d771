#pragma once
// Command line of telvane-play: the file, how long to play it and what to do at which moment.

#include <cstdint>
#include <string>
#include <vector>

enum class PlayActionKind { Pause, Play, Step, Speed, Seek, Snapshot, Stop };

// One thing to do at a moment counted from Play.
struct PlayAction {
    int64_t atMs = 0;  // ms after Play
    PlayActionKind kind = PlayActionKind::Pause;
    int64_t value = 0;  // speed code, or seek target in ms
    std::string path;   // snapshot file
    std::string text;   // as written on the command line, for the log
};

struct PlayOptions {
    std::string file;
    std::vector<PlayAction> actions;  // in time order; equal times keep the command line's order
    int speedCode = 0;                // set right after Play when speedGiven
    bool speedGiven = false;
    int64_t forMs = -1;               // ms to play after Play; -1 = until the end of the file
    bool openOnly = false;            // open, report how long it took, close
    bool activity = false;            // list the activity instead of playing
    bool minimised = false;           // the video window is minimised from the start
    int windowWidth = 640;            // size of the off-screen video window, pixels
    int windowHeight = 360;
    bool help = false;
};

// Fills `options` from the arguments after the program name; false with a message in `error`.
bool ParsePlayOptions(const std::vector<std::string>& args, PlayOptions* options, std::string* error);
const char* PlayUsage();
