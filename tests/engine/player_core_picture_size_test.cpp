// Recordings whose header gives another picture size than the stream's, or none: the pictures are
// shown anyway, and a snapshot holds the whole picture as shown, at the stream's size. Files with a
// main picture stream and a smaller sub-stream, as recorder exports carry them, play the main one.

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/render/d3d_render.h"
#include "tests/engine/test_session.h"
#include "tests/support/fixtures.h"

namespace {

using engine_tests::Session;

constexpr int kStreamWidth = 160;  // the clips the fixtures make
constexpr int kStreamHeight = 120;

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

DecodedJpeg DecodeJpeg(const std::string& path) {
    const std::vector<uint8_t> jpeg = fixtures::ReadBytes(path);
    DecodedJpeg decoded;
    tjhandle decompressor = tjInitDecompress();
    int subsampling = 0, colourspace = 0;
    if (!jpeg.empty() && tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &decoded.width, &decoded.height,
                                             &subsampling, &colourspace) == 0) {
        decoded.rgb.resize(static_cast<size_t>(decoded.width) * decoded.height * 3);
        if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), decoded.rgb.data(), decoded.width, 0,
                          decoded.height, TJPF_RGB, 0) != 0) {
            decoded.width = 0;
        }
    }
    tjDestroy(decompressor);
    return decoded;
}

// Mean absolute difference of the colour channels (0..255) of a snapshot and a picture shown at
// the same size.
double MeanDifference(const DecodedJpeg& snapshot, const platform::PresentedPixels& shown) {
    double sum = 0;
    for (int y = 0; y < snapshot.height; ++y) {
        for (int x = 0; x < snapshot.width; ++x) {
            const unsigned char* pixel = &snapshot.rgb[(static_cast<size_t>(y) * snapshot.width + x) * 3];
            const uint32_t argb = shown.At(x, y);
            sum += std::abs(pixel[0] - static_cast<int>((argb >> 16) & 0xFF)) +
                   std::abs(pixel[1] - static_cast<int>((argb >> 8) & 0xFF)) + std::abs(pixel[2] - static_cast<int>(argb & 0xFF));
        }
    }
    return sum / (3.0 * snapshot.width * snapshot.height);
}

// Every picture presented from the moment it is made, in order; any thread. The pictures are held
// by the observer as well, so a session that outlives this object still presents into them.
class PresentedPictures {
public:
    explicit PresentedPictures(platform::OffscreenVideoTarget& target) {
        target.SetPresentObserver([store = m_store](const platform::PresentedPicture& picture) {
            platform::PresentedPixels copy;
            copy.bytes.assign(picture.pixels, picture.pixels + static_cast<size_t>(picture.strideBytes) * picture.height);
            copy.width = picture.width;
            copy.height = picture.height;
            copy.strideBytes = picture.strideBytes;
            std::lock_guard<std::mutex> lock(store->mutex);
            store->pictures.push_back(std::move(copy));
        });
    }
    size_t Count() const {
        std::lock_guard<std::mutex> lock(m_store->mutex);
        return m_store->pictures.size();
    }
    std::vector<platform::PresentedPixels> From(size_t first) const {
        std::lock_guard<std::mutex> lock(m_store->mutex);
        const auto& all = m_store->pictures;
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(first, all.size())), all.end()};
    }

private:
    struct Store {
        std::mutex mutex;
        std::vector<platform::PresentedPixels> pictures;
    };
    std::shared_ptr<Store> m_store = std::make_shared<Store>();
};

struct HeaderSize {
    const char* name;
    uint32_t width, height;
};

TEST(HeaderPictureSize, PicturesAreShownAndSnapshotAtTheStreamsSize) {
    fixtures::TempDir dir;
    fixtures::ClipOptions clip;
    // Long enough that pictures still come after the snapshot on a slow, busy machine.
    clip.seconds = 10.0;
    const std::string input = fixtures::MakeClip(dir, "clip", clip);
    ASSERT_FALSE(input.empty());
    const std::string source = fixtures::MakeRecording(dir, input, "source.rec");
    ASSERT_FALSE(source.empty());
    record_format::FileHeader header;
    const std::vector<fixtures::RawFrame> frames = fixtures::DecodeRecording(fixtures::ReadBytes(source), &header);
    ASSERT_FALSE(frames.empty());

    const HeaderSize sizes[] = {
        {"no size", 0, 0},
        {"smaller than the stream", 80, 60},
        {"larger than the stream", 320, 240},
        {"beyond any picture", 1u << 20, 1u << 20},
    };
    for (const HeaderSize& size : sizes) {
        SCOPED_TRACE(size.name);
        header.width = size.width;
        header.height = size.height;
        const std::string path = dir.File("header.rec");
        ASSERT_TRUE(fixtures::WriteBytes(path, fixtures::EncodeRecording(header, frames)));
        Session session;
        const PresentedPictures presented(session.target);
        ASSERT_EQ(session.core.OpenFile(path.c_str()), 1);
        ASSERT_EQ(session.core.Play(), 1);
        ASSERT_TRUE(session.WaitForPictures(10));
        ASSERT_TRUE(session.target.WaitForPresentCount(5, engine_tests::kPictureWaitMs));

        const std::string snapshot = dir.File("snapshot.jpg");
        // The picture on show when the snapshot is taken is the first one looked at.
        const size_t shownBefore = presented.Count();
        ASSERT_GT(shownBefore, 0u);
        ASSERT_EQ(session.core.TakeSnapshot(snapshot.c_str()), 1);
        const DecodedJpeg decoded = DecodeJpeg(snapshot);
        EXPECT_EQ(decoded.width, kStreamWidth);
        EXPECT_EQ(decoded.height, kStreamHeight);
        ASSERT_GT(decoded.width, 0);
        // The snapshot holds the picture the video thread handed on last; on a busy machine the
        // renderer may still hold every slot of pictures before it. Once those are shown as well,
        // the closest of the pictures shown is that one. Another moment of the moving test
        // picture, or a cropped or shifted one, differs far more.
        const size_t laterPictures = CD3DRender::kSlotCount + 2;
        ASSERT_TRUE(engine_tests::WaitUntil([&] { return presented.Count() >= shownBefore + laterPictures; },
                                            engine_tests::kPictureWaitMs));
        double closest = 255;
        for (const platform::PresentedPixels& shown : presented.From(shownBefore - 1)) {
            ASSERT_EQ(shown.width, kStreamWidth) << "the window is the stream's size";
            ASSERT_EQ(shown.height, kStreamHeight);
            closest = std::min(closest, MeanDifference(decoded, shown));
        }
        EXPECT_LT(closest, 6.0);
        EXPECT_EQ(session.core.StopPlay(), 1);
    }
}

}  // namespace

namespace {

// A Matroska file with a 640x480 and a 160x120 picture stream (in `order`, each marked default or
// not) and two sound tracks.
std::string MakeTwoPictureFile(const fixtures::TempDir& dir, const std::string& name, bool mainFirst,
                               bool mainDefault, bool subDefault) {
    const std::string path = dir.File(name + ".mkv");
    const std::string mainInput = "testsrc2=size=640x480:rate=25:duration=2";
    const std::string subInput = "testsrc2=size=160x120:rate=25:duration=2";
    auto flag = [](bool on) { return std::string(on ? "default" : "0"); };
    std::vector<std::string> argv = {"ffmpeg", "-nostdin", "-y", "-v", "error",
        "-f", "lavfi", "-i", mainFirst ? mainInput : subInput,
        "-f", "lavfi", "-i", mainFirst ? subInput : mainInput,
        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=2",
        "-f", "lavfi", "-i", "sine=frequency=880:sample_rate=8000:duration=2",
        "-map", "0:v", "-map", "1:v", "-map", "2:a", "-map", "3:a",
        "-c:v", "libx264", "-bf", "0", "-pix_fmt", "yuv420p", "-c:a", "aac",
        "-disposition:v:0", flag(mainFirst ? mainDefault : subDefault),
        "-disposition:v:1", flag(mainFirst ? subDefault : mainDefault),
        "-disposition:a:0", "default", "-disposition:a:1", "0",
        // The dispositions as given: no track is made default for want of one.
        "-default_mode", "passthrough", path};
    return fixtures::RunProgram(argv, path + ".log") == 0 ? path : "";
}

}  // namespace

TEST(MultiStreamContainer, PlaysTheMainPictureStream) {
    struct Case {
        const char* name;
        bool mainFirst, mainDefault, subDefault;
    } cases[] = {
        {"main marked default, sub-stream after it", true, true, false},
        {"sub-stream first, main marked default", false, true, false},
        {"neither marked: the larger picture", true, false, false},
    };
    fixtures::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = MakeTwoPictureFile(dir, "two", c.mainFirst, c.mainDefault, c.subDefault);
        ASSERT_FALSE(path.empty());
        Session session;
        ASSERT_EQ(session.core.OpenFile(path.c_str()), 1) << session.core.GetOpenError();
        ASSERT_EQ(session.core.Play(), 1);
        ASSERT_TRUE(session.WaitForPictures(5));
        const std::string snapshot = dir.File("main.jpg");
        ASSERT_EQ(session.core.TakeSnapshot(snapshot.c_str()), 1);
        const DecodedJpeg decoded = DecodeJpeg(snapshot);
        EXPECT_EQ(decoded.width, 640);
        EXPECT_EQ(decoded.height, 480);
        EXPECT_EQ(session.core.StopPlay(), 1);
    }
}
