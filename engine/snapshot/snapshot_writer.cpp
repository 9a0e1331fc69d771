#include "engine/snapshot/snapshot_writer.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}
#include <turbojpeg.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace {

constexpr int kJpegQuality = 80;
constexpr int kPackedBytesPerPixel = 3;
// The output buffer is sized generously so that one compression pass and one copy suffice.
constexpr int kCapacityBytesPerPixel = 5;
// The scaler's experimental method; the sizes match, so only the pixel format changes.
constexpr int kScalerFlags = SWS_X;

struct TjHandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};
struct ScalerFree {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};

// The scaler writes its output rows in whole vector widths, beyond the last pixel of a narrow
// picture: its destination gets aligned rows and room after the last one, never the bare
// packed size.
constexpr int kScalerRowAlign = 64;

struct PackedPicture {
    uint8_t* planes[4] = {};
    int linesizes[4] = {};
    PackedPicture() = default;
    PackedPicture(const PackedPicture&) = delete;
    PackedPicture& operator=(const PackedPicture&) = delete;
    ~PackedPicture() { av_freep(&planes[0]); }
    bool Allocate(int width, int height) {
        return av_image_alloc(planes, linesizes, width, height, AV_PIX_FMT_BGR24, kScalerRowAlign) >= 0;
    }
};

// A picture whose format was never set is taken for the decoders' usual planar YUV 4:2:0.
AVPixelFormat SourceFormatOf(const AVFrame* picture) {
    const auto format = static_cast<AVPixelFormat>(picture->format);
    if (format == AV_PIX_FMT_NONE || av_pix_fmt_desc_get(format) == nullptr) {
        return AV_PIX_FMT_YUV420P;
    }
    return format;
}

// Every plane the format needs is present and its rows hold at least `width` pixels, so the
// scaler stays inside each row; the row count is bounded by cropping to the picture's height.
bool PlanesCoverWidth(const AVFrame* picture, AVPixelFormat format, int width) {
    int minLinesize[4] = {};
    if (av_image_fill_linesizes(minLinesize, format, width) < 0) {
        return false;
    }
    for (int plane = 0; plane < 4; ++plane) {
        if (minLinesize[plane] <= 0) {
            continue;
        }
        if (picture->data[plane] == nullptr || picture->linesize[plane] < minLinesize[plane]) {
            return false;
        }
    }
    return true;
}

bool ConvertToPackedBgr(const AVFrame* picture, AVPixelFormat format, int width, int height,
                        PackedPicture& packed) {
    std::unique_ptr<SwsContext, ScalerFree> scaler(
        sws_getCachedContext(nullptr, width, height, format, width, height, AV_PIX_FMT_BGR24,
                             kScalerFlags, nullptr, nullptr, nullptr));
    if (!scaler) {
        return false;
    }
    const int rows = sws_scale(scaler.get(), picture->data, picture->linesize, 0, height,
                               packed.planes, packed.linesizes);
    return rows == height;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a fresh file beside `path` (same folder, so the rename cannot cross file systems).
int CreateTemporaryBeside(const std::string& path, std::string& temporaryPath) {
    static std::atomic<unsigned> sequence{0};
    const std::string prefix = FolderOf(path) + "/.snapshot-" + std::to_string(getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryPath = prefix + std::to_string(sequence++) + ".part";
        const int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool WriteAll(int fd, const unsigned char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool WriteFileReplacing(const char* path, const unsigned char* bytes, size_t count) {
    std::string temporaryPath;
    const int fd = CreateTemporaryBeside(path, temporaryPath);
    if (fd < 0) {
        return false;
    }
    bool written = WriteAll(fd, bytes, count) && fsync(fd) == 0;
    written = (close(fd) == 0) && written;
    written = written && rename(temporaryPath.c_str(), path) == 0;
    if (!written) {
        unlink(temporaryPath.c_str());
    }
    return written;
}

// The segment goes after the start of image and the JFIF segment that TurboJPEG writes first.
std::vector<uint8_t> WithSegmentAfterStart(const unsigned char* jpeg, size_t jpegBytes,
                                           const std::vector<uint8_t>& segment) {
    size_t insertAt = 2;
    if (jpegBytes >= 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) {
        insertAt = std::min(jpegBytes, 4 + (size_t{jpeg[4]} << 8 | jpeg[5]));
    }
    std::vector<uint8_t> bytes(jpeg, jpeg + insertAt);
    bytes.insert(bytes.end(), segment.begin(), segment.end());
    bytes.insert(bytes.end(), jpeg + insertAt, jpeg + jpegBytes);
    return bytes;
}

}  // namespace

namespace {

// As CompressToJpeg, for rows `pitch` bytes apart.
int CompressRowsToJpeg(unsigned char* out, int capacity, unsigned long* sizeOut,
                       const unsigned char* bgrPixels, int width, int pitch, int height) {
    if (capacity <= 0 || out == nullptr || sizeOut == nullptr || bgrPixels == nullptr ||
        width <= 0 || height <= 0 || width > INT_MAX / kPackedBytesPerPixel ||
        pitch < width * kPackedBytesPerPixel) {
        return -1;
    }
    std::unique_ptr<void, TjHandleCloser> compressor(tjInitCompress());
    if (!compressor) {
        return -1;
    }
    const unsigned long workBytes = tjBufSize(width, height, TJSAMP_444);
    if (workBytes == static_cast<unsigned long>(-1) || workBytes > INT_MAX) {
        return -1;
    }
    std::unique_ptr<unsigned char, TjBufferFree> work(tjAlloc(static_cast<int>(workBytes)));
    if (!work) {
        return -1;
    }
    unsigned char* workBuffer = work.get();
    unsigned long jpegBytes = workBytes;
    // The buffer is the worst case for this size, so the compressor never has to grow it.
    const int result = tjCompress2(compressor.get(), bgrPixels, width, pitch, height, TJPF_BGR, &workBuffer,
                                   &jpegBytes, TJSAMP_444, kJpegQuality, TJFLAG_NOREALLOC);
    if (result != 0) {
        return result < 0 ? result : -1;
    }
    if (jpegBytes > static_cast<unsigned long>(capacity)) {
        return -1;
    }
    std::memcpy(out, workBuffer, jpegBytes);
    *sizeOut = jpegBytes;
    return 0;
}

}  // namespace

int CompressToJpeg(unsigned char* out, int capacity, unsigned long* sizeOut,
                   const unsigned char* bgrPixels, int width, int height) {
    if (width <= 0 || width > INT_MAX / kPackedBytesPerPixel) {
        return -1;
    }
    return CompressRowsToJpeg(out, capacity, sizeOut, bgrPixels, width,
                              width * kPackedBytesPerPixel, height);
}

int EncodeSnapshot(unsigned char* out, int capacity, unsigned long* sizeOut,
                   const AVFrame* picture, int width, int height) {
    if (picture == nullptr || out == nullptr || sizeOut == nullptr || width <= 0 ||
        height <= 0 || capacity <= 0) {
        return -1;
    }
    const int keptWidth = std::min(width, picture->width);
    const int keptHeight = std::min(height, picture->height);
    if (keptWidth <= 0 || keptHeight <= 0) {
        return -1;
    }
    const AVPixelFormat format = SourceFormatOf(picture);
    if (!sws_isSupportedInput(format) || !PlanesCoverWidth(picture, format, keptWidth)) {
        return -1;
    }
    PackedPicture packed;
    if (!packed.Allocate(keptWidth, keptHeight) ||
        !ConvertToPackedBgr(picture, format, keptWidth, keptHeight, packed)) {
        return -1;
    }
    const int result = CompressRowsToJpeg(out, capacity, sizeOut, packed.planes[0], keptWidth,
                                          packed.linesizes[0], keptHeight);
    return result < 0 ? -1 : 0;
}

int WriteSnapshotJpeg(const AVFrame* picture, int width, int height, const char* path) {
    return WriteSnapshotJpeg(picture, width, height, path, {});
}

int WriteSnapshotJpeg(const AVFrame* picture, int width, int height, const char* path,
                      const std::vector<uint8_t>& segment) {
    if (path == nullptr || path[0] == '\0' || picture == nullptr || width <= 0 || height <= 0) {
        return 0;
    }
    const int64_t keptPixels = int64_t{std::min(width, picture->width)} *
                               int64_t{std::min(height, picture->height)};
    if (keptPixels <= 0 || keptPixels > INT_MAX / kCapacityBytesPerPixel) {
        return 0;
    }
    const int capacity = static_cast<int>(keptPixels) * kCapacityBytesPerPixel;
    std::unique_ptr<unsigned char[]> jpeg(new (std::nothrow) unsigned char[capacity]);
    if (!jpeg) {
        return 0;
    }
    unsigned long jpegBytes = 0;
    if (EncodeSnapshot(jpeg.get(), capacity, &jpegBytes, picture, width, height) != 0) {
        return 0;
    }
    if (segment.empty()) {
        return WriteFileReplacing(path, jpeg.get(), jpegBytes) ? 1 : 0;
    }
    const std::vector<uint8_t> withSegment = WithSegmentAfterStart(jpeg.get(), jpegBytes, segment);
    return WriteFileReplacing(path, withSegment.data(), withSegment.size()) ? 1 : 0;
}
