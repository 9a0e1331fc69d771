#pragma once
// What ffprobe and ffmpeg make of an MP4 the converter wrote.

#include <string>
#include <vector>

namespace mp4_report {

struct Stream {
    std::string type;   // video | audio
    std::string codec;  // h264, hevc, aac, ...
    int packets = 0;
    double duration = 0;  // seconds
    int sampleRate = 0;
    int width = 0;
    int height = 0;
};

struct Report {
    bool read = false;
    double duration = 0;  // seconds, of the whole file
    double startTime = 0;  // seconds
    std::string creationTime;  // the file's tag, as ffprobe writes it
    std::string title;
    std::vector<Stream> streams;

    const Stream* Find(const std::string& type) const;
};

Report Probe(const std::string& path);

// Presentation times (s) of one stream's packets, in file order.
std::vector<double> PacketTimes(const std::string& path, const std::string& streamType);

// True when ffmpeg decodes every stream of the file without one error.
bool DecodesCleanly(const std::string& path);

}  // namespace mp4_report
