// Pictures as the decoders hand them over (their own line sizes, padding and pixel formats) from
// each container fixture: the file holds what its recipe says, and its first picture snapshots at
// the picture's size.

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}
#include <turbojpeg.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/snapshot/snapshot_writer.h"
#include "tests/support/container_fixtures.h"

namespace fixtures {
void PrintTo(const ContainerRecipe& recipe, std::ostream* out) { *out << recipe.name; }
}  // namespace fixtures

namespace {

using fixtures::ContainerRecipe;

struct InputClose {
    void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
struct DecoderFree {
    void operator()(AVCodecContext* decoder) const { avcodec_free_context(&decoder); }
};
struct DecodedFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using DecodedFramePtr = std::unique_ptr<AVFrame, DecodedFrameFree>;

struct StreamCounts {
    int audio = 0;
    int subtitle = 0;
};

StreamCounts CountStreams(const AVFormatContext* input) {
    StreamCounts counts;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVMediaType type = input->streams[i]->codecpar->codec_type;
        counts.audio += type == AVMEDIA_TYPE_AUDIO;
        counts.subtitle += type == AVMEDIA_TYPE_SUBTITLE;
    }
    return counts;
}

DecodedFramePtr DecodeFirstPicture(AVFormatContext* input, int videoStream) {
    const AVCodecParameters* parameters = input->streams[videoStream]->codecpar;
    std::unique_ptr<AVCodecContext, DecoderFree> decoder(
        avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id)));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0 ||
        avcodec_open2(decoder.get(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    DecodedFramePtr frame(av_frame_alloc());
    while (av_read_frame(input, packet.get()) >= 0) {
        const bool isVideo = packet->stream_index == videoStream;
        if (isVideo) avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        if (isVideo && avcodec_receive_frame(decoder.get(), frame.get()) == 0) return frame;
    }
    avcodec_send_packet(decoder.get(), nullptr);
    return avcodec_receive_frame(decoder.get(), frame.get()) == 0 ? std::move(frame) : nullptr;
}

struct JpegSize {
    int width = 0;
    int height = 0;
};

JpegSize ReadJpegSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> jpeg{std::istreambuf_iterator<char>(in), {}};
    JpegSize size;
    int subsampling = 0;
    int colourspace = 0;
    tjhandle decompressor = tjInitDecompress();
    if (jpeg.empty() || tjDecompressHeader3(decompressor, jpeg.data(), jpeg.size(), &size.width,
                                            &size.height, &subsampling, &colourspace) != 0) {
        size = {};
    }
    tjDestroy(decompressor);
    return size;
}

class ContainerFixtureSnapshotTest : public ::testing::TestWithParam<ContainerRecipe> {
protected:
    static void SetUpTestSuite() { av_log_set_level(AV_LOG_ERROR); }
    fixtures::TempDir dir;
};

TEST_P(ContainerFixtureSnapshotTest, file_holds_its_recipe_and_first_picture_snapshots) {
    const ContainerRecipe& recipe = GetParam();
    const fixtures::ContainerShape shape;
    const std::string path = fixtures::MakeContainerFile(dir, recipe.kind, shape);
    ASSERT_FALSE(path.empty());

    AVFormatContext* opened = nullptr;
    ASSERT_EQ(avformat_open_input(&opened, path.c_str(), nullptr, nullptr), 0);
    std::unique_ptr<AVFormatContext, InputClose> input(opened);
    ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
    const int videoStream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    ASSERT_GE(videoStream, 0);
    EXPECT_STREQ(avcodec_get_name(input->streams[videoStream]->codecpar->codec_id), recipe.videoCodec);
    const StreamCounts counts = CountStreams(input.get());
    EXPECT_EQ(counts.audio, recipe.audioStreams);
    EXPECT_EQ(counts.subtitle, recipe.subtitle ? 1 : 0);

    DecodedFramePtr picture = DecodeFirstPicture(input.get(), videoStream);
    ASSERT_TRUE(picture);
    EXPECT_STREQ(av_get_pix_fmt_name(static_cast<AVPixelFormat>(picture->format)), recipe.pixelFormat);
    const std::string snapshot = dir.File(std::string(recipe.name) + ".jpg");
    // The coded size may exceed the picture (whole macroblocks); the writer keeps the picture.
    ASSERT_EQ(WriteSnapshotJpeg(picture.get(), shape.width + 16, shape.height + 16, snapshot.c_str()), 1);
    const JpegSize size = ReadJpegSize(snapshot);
    EXPECT_EQ(size.width, shape.width);
    EXPECT_EQ(size.height, shape.height);
}

INSTANTIATE_TEST_SUITE_P(
    Containers, ContainerFixtureSnapshotTest,
    ::testing::ValuesIn(fixtures::AllContainerRecipes()),
    [](const ::testing::TestParamInfo<ContainerRecipe>& info) { return info.param.name; });

}  // namespace
