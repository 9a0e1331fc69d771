#include "tests/support/container_fixtures.h"

#include <cstdio>
#include <fstream>
#include <iostream>

namespace fixtures {

namespace {

using Kind = ContainerKind;

const std::vector<ContainerRecipe> kRecipes = {
    {Kind::Mp4H264Aac, "mp4_h264_aac", "mp4", "h264", "yuv420p", 1, "aac", 44100, 2, false},
    {Kind::MkvH264Aac, "mkv_h264_aac", "mkv", "h264", "yuv420p", 1, "aac", 44100, 2, false},
    {Kind::AviH264Mp3, "avi_h264_mp3", "avi", "h264", "yuv420p", 1, "mp3", 44100, 2, false},
    {Kind::Mp4NoAudio, "mp4_no_audio", "mp4", "h264", "yuv420p", 0, "", 0, 0, false},
    {Kind::MkvTwoAudio, "mkv_two_audio", "mkv", "h264", "yuv420p", 2, "aac", 44100, 2, false},
    {Kind::MkvSubtitle, "mkv_subtitle", "mkv", "h264", "yuv420p", 1, "aac", 44100, 2, true},
    {Kind::AviMjpegMulaw, "avi_mjpeg_mulaw", "avi", "mjpeg", "yuvj420p", 1, "pcm_mulaw", 8000, 1,
     false},
    {Kind::MkvH264Yuv422, "mkv_h264_yuv422", "mkv", "h264", "yuv422p", 1, "aac", 44100, 2, false},
    {Kind::MkvHevc10Bit, "mkv_hevc_10bit", "mkv", "hevc", "yuv420p10le", 1, "aac", 44100, 2,
     false},
};

// The ffmpeg encoder for a decoder name of the table.
std::string EncoderFor(const std::string& codec) {
    if (codec == "h264") return "libx264";
    if (codec == "hevc") return "libx265";
    if (codec == "mp3") return "libmp3lame";
    return codec;  // mjpeg, aac and pcm_mulaw encode under their own names
}

std::string Seconds(double seconds) { return std::to_string(seconds); }

void AddPictureInput(std::vector<std::string>& argv, const ContainerShape& shape) {
    argv.insert(argv.end(),
                {"-f", "lavfi", "-i",
                 "testsrc2=size=" + std::to_string(shape.width) + "x" + std::to_string(shape.height) +
                     ":rate=" + std::to_string(shape.framesPerSecond) +
                     ":duration=" + Seconds(shape.seconds)});
}

void AddToneInput(std::vector<std::string>& argv, int frequencyHz, int sampleRate, double seconds) {
    argv.insert(argv.end(), {"-f", "lavfi", "-i",
                             "sine=frequency=" + std::to_string(frequencyHz) +
                                 ":sample_rate=" + std::to_string(sampleRate) +
                                 ":duration=" + Seconds(seconds)});
}

// Two cues that cover the clip, so the subtitle stream has packets all along.
std::string WriteSubtitles(const TempDir& dir, const std::string& name, double seconds) {
    const std::string path = dir.File(name + ".srt");
    const int halfMs = static_cast<int>(seconds * 500);
    auto stamp = [](int ms) {
        char text[32];
        std::snprintf(text, sizeof text, "00:%02d:%02d,%03d", ms / 60000, ms / 1000 % 60, ms % 1000);
        return std::string(text);
    };
    std::ofstream out(path);
    out << "1\n" << stamp(0) << " --> " << stamp(halfMs) << "\nfirst\n\n"
        << "2\n" << stamp(halfMs) << " --> " << stamp(2 * halfMs) << "\nsecond\n";
    return out ? path : "";
}

void AddVideoEncoding(std::vector<std::string>& argv, const ContainerRecipe& recipe,
                      const ContainerShape& shape) {
    const std::string codec = recipe.videoCodec;
    argv.insert(argv.end(), {"-c:v", EncoderFor(codec), "-pix_fmt", recipe.pixelFormat, "-g",
                             std::to_string(shape.keyFrameInterval)});
    if (codec == "h264" || codec == "hevc") argv.insert(argv.end(), {"-bf", std::to_string(shape.bFrames)});
    if (codec == "hevc") argv.insert(argv.end(), {"-x265-params", "log-level=error"});
    if (codec == "mjpeg") argv.insert(argv.end(), {"-q:v", "5"});
}

void AddAudioEncoding(std::vector<std::string>& argv, const ContainerRecipe& recipe) {
    if (recipe.audioStreams == 0) return;
    argv.insert(argv.end(), {"-c:a", EncoderFor(recipe.audioCodec), "-ar",
                             std::to_string(recipe.sampleRate), "-ac",
                             std::to_string(recipe.channels)});
}

}  // namespace

const ContainerRecipe& RecipeOf(ContainerKind kind) {
    for (const ContainerRecipe& recipe : kRecipes) {
        if (recipe.kind == kind) return recipe;
    }
    return kRecipes.front();
}

const std::vector<ContainerRecipe>& AllContainerRecipes() { return kRecipes; }

std::string MakeContainerFile(const TempDir& dir, ContainerKind kind, const ContainerShape& shape) {
    const ContainerRecipe& recipe = RecipeOf(kind);
    const std::string path = dir.File(std::string(recipe.name) + "." + recipe.extension);
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error"};
    AddPictureInput(argv, shape);
    static constexpr int kToneHz[] = {440, 880};
    for (int stream = 0; stream < recipe.audioStreams; ++stream) {
        AddToneInput(argv, kToneHz[stream], recipe.sampleRate, shape.seconds);
    }
    if (recipe.subtitle) {
        const std::string subtitles = WriteSubtitles(dir, recipe.name, shape.seconds);
        if (subtitles.empty()) return "";
        argv.insert(argv.end(), {"-i", subtitles});
    }
    int input = 0;
    argv.insert(argv.end(), {"-map", std::to_string(input++) + ":v"});
    for (int stream = 0; stream < recipe.audioStreams; ++stream) {
        argv.insert(argv.end(), {"-map", std::to_string(input++) + ":a"});
    }
    if (recipe.subtitle) argv.insert(argv.end(), {"-map", std::to_string(input++) + ":s", "-c:s", "srt"});
    AddVideoEncoding(argv, recipe, shape);
    AddAudioEncoding(argv, recipe);
    argv.push_back(path);

    const std::string logPath = path + ".log";
    if (RunProgram(argv, logPath) != 0) {
        std::ifstream log(logPath);
        std::cerr << "ffmpeg could not make " << path << ":\n" << log.rdbuf() << "\n";
        return "";
    }
    return path;
}

}  // namespace fixtures
