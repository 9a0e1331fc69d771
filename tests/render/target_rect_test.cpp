#include <gtest/gtest.h>

#include "engine/render/d3d_render.h"

namespace {

using platform::Rect;

struct TargetRectCase {
    const char* name;
    Rect client;
    uint32_t pictureWidth;
    uint32_t pictureHeight;
    Rect expected;
};

TEST(TargetRect, IsLargestCentredRectangleWithThePicturesAspect) {
    const TargetRectCase cases[] = {
        {"square client, wide picture: bars top and bottom", {0, 0, 1000, 1000}, 1280, 720, {0, 219, 1000, 781}},
        {"wide client: bars left and right", {0, 0, 1000, 500}, 1280, 720, {56, 0, 944, 500}},
        {"tall picture in a square client", {0, 0, 1000, 1000}, 720, 1280, {219, 0, 781, 1000}},
        {"exact fit", {0, 0, 1280, 720}, 1280, 720, {0, 0, 1280, 720}},
        {"client offset from the origin", {10, 20, 1010, 1020}, 1280, 720, {10, 239, 1010, 801}},
        {"odd sizes truncate", {0, 0, 333, 333}, 17, 9, {0, 78, 333, 254}},
        {"one-pixel-wide client", {0, 0, 1, 1000}, 1280, 720, {0, 500, 1, 500}},
        {"client without area", {0, 0, 0, 0}, 1280, 720, {0, 0, 0, 0}},
        {"inverted client", {50, 50, 10, 10}, 1280, 720, {50, 50, 50, 50}},
        {"picture without area", {0, 0, 640, 480}, 0, 720, {0, 0, 0, 0}},
    };
    for (const TargetRectCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Rect dest = CD3DRender::FitPictureInClient(c.client, c.pictureWidth, c.pictureHeight);
        EXPECT_EQ(dest.left, c.expected.left);
        EXPECT_EQ(dest.top, c.expected.top);
        EXPECT_EQ(dest.right, c.expected.right);
        EXPECT_EQ(dest.bottom, c.expected.bottom);
    }
}

}  // namespace
