#include "tests/kadrel/mp4_report.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/support/fixtures.h"

namespace mp4_report {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

void Apply(Stream& stream, const std::string& key, const std::string& value) {
    if (key == "codec_type") stream.type = value;
    else if (key == "codec_name") stream.codec = value;
    else if (key == "nb_read_packets") stream.packets = int(Number(value));
    else if (key == "duration") stream.duration = Number(value);
    else if (key == "sample_rate") stream.sampleRate = int(Number(value));
    else if (key == "width") stream.width = int(Number(value));
    else if (key == "height") stream.height = int(Number(value));
}

}  // namespace

const Stream* Report::Find(const std::string& type) const {
    for (const Stream& stream : streams) {
        if (stream.type == type) return &stream;
    }
    return nullptr;
}

Report Probe(const std::string& path) {
    const std::string log = path + ".probe";
    Report report;
    int status = fixtures::RunProgram({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                                       "stream=codec_type,codec_name,nb_read_packets,duration,sample_rate,width,height:"
                                       "format=duration,start_time:format_tags=creation_time,title",
                                       "-of", "default=nw=0", path},
                                      log);
    if (status != 0) {
        std::cerr << ReadText(log);
        return report;
    }
    std::istringstream lines(ReadText(log));
    std::string line;
    bool inFormat = false;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") report.streams.emplace_back();
        inFormat = line == "[FORMAT]" || (inFormat && line != "[/FORMAT]");
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (inFormat && key == "duration") report.duration = Number(value);
        else if (inFormat && key == "start_time") report.startTime = Number(value);
        else if (inFormat && key == "TAG:creation_time") report.creationTime = value;
        else if (inFormat && key == "TAG:title") report.title = value;
        else if (!inFormat && !report.streams.empty()) Apply(report.streams.back(), key, value);
    }
    report.read = true;
    return report;
}

std::vector<double> PacketTimes(const std::string& path, const std::string& streamType) {
    const std::string log = path + ".packets";
    const std::string selector = streamType == "video" ? "v:0" : "a:0";
    std::vector<double> times;
    if (fixtures::RunProgram({"ffprobe", "-v", "error", "-select_streams", selector, "-show_entries",
                              "packet=pts_time", "-of", "csv=p=0", path},
                             log) != 0) {
        return times;
    }
    std::istringstream lines(ReadText(log));
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty()) times.push_back(Number(line));
    }
    return times;
}

bool DecodesCleanly(const std::string& path) {
    const std::string log = path + ".decode";
    int status = fixtures::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"}, log);
    std::string errors = ReadText(log);
    if (status != 0 || !errors.empty()) std::cerr << "ffmpeg on " << path << ":\n" << errors;
    return status == 0 && errors.empty();
}

}  // namespace mp4_report
