#include <gtest/gtest.h>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}
#include <turbojpeg.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "engine/snapshot/snapshot_writer.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
    int r, g, b;
};

// Eight blocks, four across and two down, so a mirrored, flipped or channel-swapped picture
// shows up as a wrong colour in some block.
constexpr Rgb kBlockColours[2][4] = {
    {{235, 20, 20}, {20, 235, 20}, {20, 20, 235}, {235, 235, 235}},
    {{235, 235, 20}, {20, 235, 235}, {235, 20, 235}, {20, 20, 20}},
};
constexpr int kBlocksAcross = 4;
constexpr int kBlocksDown = 2;
constexpr int kBlockSize = 32;
constexpr int kPictureWidth = kBlocksAcross * kBlockSize;
constexpr int kPictureHeight = kBlocksDown * kBlockSize;
// JPEG at quality 80 and two colour conversions move a flat block's colour by a few levels.
constexpr int kColourTolerance = 14;

struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;

struct Ycc {
    double y, cb, cr;
};

// BT.601, as the scaler assumes for pictures that do not say otherwise; full range for the
// yuvj formats of camera MJPEG.
Ycc ToYcc(Rgb colour, bool fullRange) {
    const double y = 0.299 * colour.r + 0.587 * colour.g + 0.114 * colour.b;
    const double cb = -0.168736 * colour.r - 0.331264 * colour.g + 0.5 * colour.b;
    const double cr = 0.5 * colour.r - 0.418688 * colour.g - 0.081312 * colour.b;
    if (fullRange) {
        return {y, 128 + cb, 128 + cr};
    }
    return {16 + y * 219 / 255, 128 + cb * 224 / 255, 128 + cr * 224 / 255};
}

Rgb BlockColourAt(int x, int y) {
    return kBlockColours[y / kBlockSize][x / kBlockSize];
}

void StoreSample(AVFrame* frame, int plane, int x, int y, double value, int depthBits) {
    const int scaled = static_cast<int>(value * (1 << (depthBits - 8)) + 0.5);
    uint8_t* row = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
    if (depthBits > 8) {
        reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(scaled);
    } else {
        row[x] = static_cast<uint8_t>(scaled);
    }
}

// A planar YUV picture of the colour blocks, painted sample by sample in the given format.
FramePtr MakeBlockPicture(AVPixelFormat format) {
    FramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = kPictureWidth;
    frame->height = kPictureHeight;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        return nullptr;
    }
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    const int depthBits = descriptor->comp[0].depth;
    const bool fullRange = format == AV_PIX_FMT_YUVJ420P;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            StoreSample(frame.get(), 0, x, y, ToYcc(BlockColourAt(x, y), fullRange).y, depthBits);
        }
    }
    const int chromaWidth = AV_CEIL_RSHIFT(kPictureWidth, descriptor->log2_chroma_w);
    const int chromaHeight = AV_CEIL_RSHIFT(kPictureHeight, descriptor->log2_chroma_h);
    for (int y = 0; y < chromaHeight; ++y) {
        for (int x = 0; x < chromaWidth; ++x) {
            const Ycc ycc = ToYcc(BlockColourAt(x << descriptor->log2_chroma_w,
                                                y << descriptor->log2_chroma_h),
                                  fullRange);
            StoreSample(frame.get(), 1, x, y, ycc.cb, depthBits);
            StoreSample(frame.get(), 2, x, y, ycc.cr, depthBits);
        }
    }
    return frame;
}

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    Rgb At(int x, int y) const {
        const unsigned char* pixel = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return {pixel[0], pixel[1], pixel[2]};
    }
};

std::vector<unsigned char> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Decodes with TurboJPEG's decompressor; width 0 when the file is not a JPEG.
DecodedJpeg DecodeJpegFile(const fs::path& path) {
    std::vector<unsigned char> jpeg = ReadBytes(path);
    DecodedJpeg decoded;
    tjhandle decompressor = tjInitDecompress();
    int subsampling = 0;
    int colourspace = 0;
    if (!jpeg.empty() &&
        tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &decoded.width,
                            &decoded.height, &subsampling, &colourspace) == 0) {
        decoded.rgb.resize(static_cast<size_t>(decoded.width) * decoded.height * 3);
        if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), decoded.rgb.data(),
                          decoded.width, 0, decoded.height, TJPF_RGB, 0) != 0) {
            decoded.width = 0;
        }
    }
    tjDestroy(decompressor);
    return decoded;
}

std::string Describe(Rgb colour) {
    char text[48];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", colour.r, colour.g, colour.b);
    return text;
}

::testing::AssertionResult NearColour(Rgb actual, Rgb expected) {
    const bool near = std::abs(actual.r - expected.r) <= kColourTolerance &&
                      std::abs(actual.g - expected.g) <= kColourTolerance &&
                      std::abs(actual.b - expected.b) <= kColourTolerance;
    if (near) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Describe(actual) << " where " << Describe(expected)
                                         << " was painted";
}

// Looks at the middle of each block, away from the edges JPEG blurs.
void ExpectBlockColours(const DecodedJpeg& decoded, int blocksAcross, int blocksDown) {
    for (int row = 0; row < blocksDown; ++row) {
        for (int column = 0; column < blocksAcross; ++column) {
            const Rgb actual = decoded.At(column * kBlockSize + kBlockSize / 2,
                                          row * kBlockSize + kBlockSize / 2);
            EXPECT_TRUE(NearColour(actual, kBlockColours[row][column]))
                << "block " << column << ", " << row;
        }
    }
}

class SnapshotWriterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { av_log_set_level(AV_LOG_ERROR); }

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "telvane-snapshot-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
    }
    void TearDown() override { fs::remove_all(folder); }

    std::vector<fs::path> FolderEntries() const {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(folder)) {
            entries.push_back(entry.path());
        }
        return entries;
    }

    fs::path folder;
};

struct FormatCase {
    const char* name;
    AVPixelFormat format;
};

void PrintTo(const FormatCase& formatCase, std::ostream* out) { *out << formatCase.name; }

class SnapshotColoursTest : public SnapshotWriterTest,
                            public ::testing::WithParamInterface<FormatCase> {};

TEST_P(SnapshotColoursTest, decodes_back_to_the_block_colours_in_place) {
    FramePtr picture = MakeBlockPicture(GetParam().format);
    ASSERT_TRUE(picture);
    const fs::path path = folder / "blocks.jpg";

    ASSERT_EQ(WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight, path.c_str()), 1);

    const DecodedJpeg decoded = DecodeJpegFile(path);
    ASSERT_EQ(decoded.width, kPictureWidth);
    ASSERT_EQ(decoded.height, kPictureHeight);
    ExpectBlockColours(decoded, kBlocksAcross, kBlocksDown);
}

INSTANTIATE_TEST_SUITE_P(
    PixelFormats, SnapshotColoursTest,
    ::testing::Values(FormatCase{"yuv420p", AV_PIX_FMT_YUV420P},
                      FormatCase{"yuvj420p_full_range", AV_PIX_FMT_YUVJ420P},
                      FormatCase{"yuv422p", AV_PIX_FMT_YUV422P},
                      FormatCase{"yuv444p", AV_PIX_FMT_YUV444P},
                      FormatCase{"yuv420p10le", AV_PIX_FMT_YUV420P10LE}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

TEST_F(SnapshotWriterTest, picture_without_a_format_is_taken_as_yuv420p) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    picture->format = AV_PIX_FMT_NONE;
    const fs::path path = folder / "unset.jpg";

    ASSERT_EQ(WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight, path.c_str()), 1);

    ExpectBlockColours(DecodeJpegFile(path), kBlocksAcross, kBlocksDown);
}

TEST_F(SnapshotWriterTest, size_beyond_the_picture_is_cropped_to_the_picture) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    struct {
        int width, height;
    } const sizes[] = {{kPictureWidth, kPictureHeight + 8}, {kPictureWidth + 16, kPictureHeight},
                       {INT_MAX, INT_MAX}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const fs::path path = folder / "cropped.jpg";
        ASSERT_EQ(WriteSnapshotJpeg(picture.get(), size.width, size.height, path.c_str()), 1);
        const DecodedJpeg decoded = DecodeJpegFile(path);
        EXPECT_EQ(decoded.width, kPictureWidth);
        EXPECT_EQ(decoded.height, kPictureHeight);
    }
}

TEST_F(SnapshotWriterTest, size_within_the_picture_keeps_its_top_left_part) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    const fs::path path = folder / "part.jpg";

    ASSERT_EQ(WriteSnapshotJpeg(picture.get(), 2 * kBlockSize, kBlockSize, path.c_str()), 1);

    const DecodedJpeg decoded = DecodeJpegFile(path);
    ASSERT_EQ(decoded.width, 2 * kBlockSize);
    ASSERT_EQ(decoded.height, kBlockSize);
    ExpectBlockColours(decoded, 2, 1);
}

TEST_F(SnapshotWriterTest, existing_file_is_replaced) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    const fs::path path = folder / "again.jpg";
    std::ofstream(path) << "an older file, longer than nothing";

    ASSERT_EQ(WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight, path.c_str()), 1);

    EXPECT_EQ(DecodeJpegFile(path).width, kPictureWidth);
    EXPECT_EQ(FolderEntries(), std::vector<fs::path>{path});
}

TEST_F(SnapshotWriterTest, relative_path_is_written_in_the_current_folder) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    const fs::path before = fs::current_path();
    fs::current_path(folder);

    const int written = WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight, "here.jpg");

    fs::current_path(before);
    ASSERT_EQ(written, 1);
    EXPECT_EQ(DecodeJpegFile(folder / "here.jpg").width, kPictureWidth);
}

// What a failing call is given; each case breaks one thing.
struct FailureCase {
    const char* name;
    int width;
    int height;
    const char* fileName;  // relative to the test's folder; nullptr = a null path
    void (*spoil)(AVFrame* picture);
    bool nullPicture;
};

void NoChange(AVFrame*) {}
void DropChromaPlane(AVFrame* picture) { picture->data[2] = nullptr; }
void ShortenLumaRows(AVFrame* picture) { picture->linesize[0] = kPictureWidth / 2; }
void ZeroPictureWidth(AVFrame* picture) { picture->width = 0; }
void HardwareFormat(AVFrame* picture) { picture->format = AV_PIX_FMT_VAAPI; }

const FailureCase kFailureCases[] = {
    {"null_picture", kPictureWidth, kPictureHeight, "a.jpg", NoChange, true},
    {"zero_width", 0, kPictureHeight, "a.jpg", NoChange, false},
    {"zero_height", kPictureWidth, 0, "a.jpg", NoChange, false},
    {"negative_size", -kPictureWidth, -kPictureHeight, "a.jpg", NoChange, false},
    {"null_path", kPictureWidth, kPictureHeight, nullptr, NoChange, false},
    {"empty_path", kPictureWidth, kPictureHeight, "", NoChange, false},
    {"missing_folder", kPictureWidth, kPictureHeight, "missing/a.jpg", NoChange, false},
    {"path_names_a_folder", kPictureWidth, kPictureHeight, "sub", NoChange, false},
    {"path_ends_in_a_slash", kPictureWidth, kPictureHeight, "sub/", NoChange, false},
    {"missing_chroma_plane", kPictureWidth, kPictureHeight, "a.jpg", DropChromaPlane, false},
    {"rows_shorter_than_the_width", kPictureWidth, kPictureHeight, "a.jpg", ShortenLumaRows, false},
    {"picture_of_zero_width", kPictureWidth, kPictureHeight, "a.jpg", ZeroPictureWidth, false},
    {"hardware_picture", kPictureWidth, kPictureHeight, "a.jpg", HardwareFormat, false},
    // Five bytes per pixel cannot hold a JPEG's headers for so small a picture.
    {"jpeg_larger_than_five_bytes_a_pixel", 2, 2, "a.jpg", NoChange, false},
};

void PrintTo(const FailureCase& failure, std::ostream* out) { *out << failure.name; }

class SnapshotFailureTest : public SnapshotWriterTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SnapshotFailureTest, returns_0_and_leaves_no_file) {
    const FailureCase& failure = GetParam();
    fs::create_directory(folder / "sub");
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    failure.spoil(picture.get());
    const std::string path = failure.fileName ? (folder / failure.fileName).string() : "";
    const char* pathArgument = failure.fileName == nullptr       ? nullptr
                               : failure.fileName[0] == '\0' ? ""
                                                             : path.c_str();

    EXPECT_EQ(WriteSnapshotJpeg(failure.nullPicture ? nullptr : picture.get(), failure.width,
                                failure.height, pathArgument),
              0);

    EXPECT_EQ(FolderEntries(), std::vector<fs::path>{folder / "sub"});
    EXPECT_TRUE(fs::is_empty(folder / "sub"));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, SnapshotFailureTest, ::testing::ValuesIn(kFailureCases),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(SnapshotWriterTest, unwritable_folder_gives_0) {
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    // Not even the superuser may create files here, so this holds whoever runs the tests.
    const char* unwritable = "/proc/telvane-snapshot.jpg";

    EXPECT_EQ(WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight, unwritable), 0);
    EXPECT_FALSE(fs::exists(unwritable));
}

TEST_F(SnapshotWriterTest, read_only_folder_gives_0_and_leaves_no_file) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "the superuser writes into read-only folders";
    }
    FramePtr picture = MakeBlockPicture(AV_PIX_FMT_YUV420P);
    const fs::path readOnly = folder / "ro";
    fs::create_directory(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec);

    const int written = WriteSnapshotJpeg(picture.get(), kPictureWidth, kPictureHeight,
                                          (readOnly / "a.jpg").c_str());

    fs::permissions(readOnly, fs::perms::owner_all);
    EXPECT_EQ(written, 0);
    EXPECT_TRUE(fs::is_empty(readOnly));
}

TEST(CompressToJpeg, refuses_a_buffer_that_cannot_hold_the_jpeg) {
    std::vector<unsigned char> pixels(16 * 16 * 3, 128);
    std::vector<unsigned char> out(64);
    unsigned long jpegBytes = 0;

    EXPECT_LT(CompressToJpeg(out.data(), static_cast<int>(out.size()), &jpegBytes, pixels.data(),
                             16, 16),
              0);
    out.resize(16 * 16 * 5);
    EXPECT_EQ(CompressToJpeg(out.data(), static_cast<int>(out.size()), &jpegBytes, pixels.data(),
                             16, 16),
              0);
    EXPECT_GT(jpegBytes, 0u);
    EXPECT_LE(jpegBytes, out.size());
}

// Very small pictures, packed as the session keeps its copy (rows exactly as long as the
// picture). The scaler writes whole vector widths per row, beyond the last pixel of so narrow a
// picture; the plain allocator's checks catch such a write, the sanitizers do not see it inside
// FFmpeg.
TEST(EncodeSnapshot, very_small_pictures_encode_at_their_size) {
    const struct {
        int width, height;
    } sizes[] = {{1, 1}, {1, 2}, {2, 2}, {2, 3}, {3, 1}, {4, 2}, {1, 7}, {5, 3}, {7, 9}, {17, 2}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        FramePtr picture(av_frame_alloc());
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = size.width;
        picture->height = size.height;
        ASSERT_GE(av_frame_get_buffer(picture.get(), 1), 0);
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane == 0 ? size.height : (size.height + 1) / 2;
            std::memset(picture->data[plane], plane == 0 ? 180 : 128,
                        static_cast<size_t>(picture->linesize[plane]) * rows);
        }
        // Room for the JPEG's headers and tables, which outweigh so few pixels.
        std::vector<unsigned char> out(64 * 1024);
        unsigned long jpegBytes = 0;
        ASSERT_EQ(EncodeSnapshot(out.data(), static_cast<int>(out.size()), &jpegBytes, picture.get(),
                                 size.width, size.height),
                  0);
        tjhandle decompressor = tjInitDecompress();
        int width = 0, height = 0, subsampling = 0, colourspace = 0;
        EXPECT_EQ(tjDecompressHeader3(decompressor, out.data(), jpegBytes, &width, &height, &subsampling,
                                      &colourspace),
                  0);
        tjDestroy(decompressor);
        EXPECT_EQ(width, size.width);
        EXPECT_EQ(height, size.height);
    }
}

}  // namespace
