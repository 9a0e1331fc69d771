#include "tests/support/fixtures.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char** environ;

namespace fixtures {

namespace {

void PrintLog(const std::string& what, const std::string& logPath) {
    std::ifstream log(logPath);
    std::cerr << what << " failed:\n" << std::string(std::istreambuf_iterator<char>(log), {}) << "\n";
}

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/telvane-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data())) m_path = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logPath) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const char* output = logPath.empty() ? "/dev/null" : logPath.c_str();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t child = 0;
    int started = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeClip(const TempDir& dir, const std::string& name, const ClipOptions& o) {
    std::string path = dir.File(name + "." + o.container);
    std::string duration = std::to_string(o.seconds);
    std::vector<std::string> argv = {
        "ffmpeg", "-nostdin", "-y", "-v", "error",
        "-f", "lavfi", "-i",
        "testsrc2=size=" + std::to_string(o.width) + "x" + std::to_string(o.height) +
            ":rate=" + std::to_string(o.framesPerSecond) + ":duration=" + duration};
    if (!o.audioEncoder.empty()) {
        argv.insert(argv.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=" + std::to_string(o.sampleRate) +
                                     ":duration=" + duration});
    }
    argv.insert(argv.end(), {"-c:v", o.videoEncoder, "-g", std::to_string(o.keyFrameInterval), "-pix_fmt", "yuv420p"});
    if (o.videoEncoder == "libx264" || o.videoEncoder == "libx265") argv.insert(argv.end(), {"-bf", "0"});
    if (o.videoEncoder == "libx265") argv.insert(argv.end(), {"-x265-params", "log-level=error"});
    if (!o.audioEncoder.empty()) {
        argv.insert(argv.end(), {"-c:a", o.audioEncoder, "-ac", std::to_string(o.channels), "-shortest"});
    }
    argv.push_back(path);
    std::string log = path + ".log";
    if (RunProgram(argv, log) != 0) {
        PrintLog("ffmpeg", log);
        return "";
    }
    return path;
}

std::string RecordWriterPath() { return TELVANE_BINARY_DIR "/bin/telvane-record-writer"; }

std::string MakeRecording(const TempDir& dir, const std::string& input, const std::string& name,
                          const RecordingOptions& o) {
    std::string path = dir.File(name);
    std::vector<std::string> argv = {RecordWriterPath(), "--video", o.video, "--audio", o.audio,
                                     "--start-ms", std::to_string(o.startMs), "--gop",
                                     std::to_string(o.keyFrameInterval)};
    if (o.reencode) argv.push_back("--reencode");
    argv.insert(argv.end(), o.writerArguments.begin(), o.writerArguments.end());
    argv.insert(argv.end(), {input, path});
    std::string log = path + ".log";
    if (RunProgram(argv, log) != 0) {
        PrintLog("telvane-record-writer", log);
        return "";
    }
    return path;
}

record_format::FileHeader VideoOnlyHeader() {
    record_format::FileHeader header;
    header.videoCodec = record_format::kVideoH264;
    header.width = 160;
    header.height = 120;
    return header;
}

std::vector<uint8_t> EncodeRecording(const record_format::FileHeader& header, const std::vector<RawFrame>& frames) {
    std::vector<uint8_t> bytes(record_format::kFileHeaderSize);
    record_format::EncodeFileHeader(header, bytes.data());
    for (const RawFrame& frame : frames) {
        uint8_t frameHeader[record_format::kFrameHeaderSize];
        uint32_t size = frame.declaredSize.value_or(uint32_t(frame.payload.size()));
        record_format::EncodeFrameHeader({frame.kind, size, frame.timeMs}, frameHeader);
        bytes.insert(bytes.end(), frameHeader, frameHeader + sizeof frameHeader);
        bytes.insert(bytes.end(), frame.payload.begin(), frame.payload.end());
    }
    return bytes;
}

std::vector<RawFrame> DecodeRecording(const std::vector<uint8_t>& bytes, record_format::FileHeader* header) {
    std::vector<RawFrame> frames;
    if (bytes.size() < record_format::kFileHeaderSize) return frames;
    *header = record_format::DecodeFileHeader(bytes.data());
    size_t at = record_format::kFileHeaderSize;
    while (at + record_format::kFrameHeaderSize <= bytes.size()) {
        const record_format::FrameHeader frameHeader = record_format::DecodeFrameHeader(&bytes[at]);
        const size_t payloadAt = at + record_format::kFrameHeaderSize;
        if (frameHeader.payloadSize > bytes.size() - payloadAt) break;
        RawFrame frame;
        frame.kind = frameHeader.kind;
        frame.timeMs = frameHeader.timeMs;
        frame.payload.assign(bytes.begin() + static_cast<long>(payloadAt),
                             bytes.begin() + static_cast<long>(payloadAt + frameHeader.payloadSize));
        frames.push_back(std::move(frame));
        at = payloadAt + frameHeader.payloadSize;
    }
    return frames;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace fixtures
