// The text label: where its text goes, how a text too long is cut, and a text set from another
// thread.

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

#include "control_test_support.h"
#include "controls/m_static.h"
#include "platform/qt/posted_window_calls.h"

using namespace platform;
using namespace control_test;

namespace {

constexpr int kLabelHeight = 17;

QImage RenderedLabel(CMStatic& label) {
    QImage image(label.size(), QImage::Format_ARGB32);
    image.fill(0xFF123456);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Columns holding anything but the background, as [first, last]; {-1, -1} when there are none.
std::pair<int, int> InkColumns(const QImage& image) {
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (image.pixel(x, y) != CMStatic::kBackground) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

class TextLabel : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(m_parent.Create(134));
        m_parent.show();
    }

    // A label of the given width in the parent, showing text.
    std::unique_ptr<CMStatic> Label(int align, int width, const QString& text) {
        auto label = std::make_unique<CMStatic>();
        label->m_nAlign = align;
        EXPECT_TRUE(label->Create(IDD_MSTATIC, &m_parent));
        label->MoveWindow(0, 0, width, kLabelHeight);
        label->ShowWindow(SW_SHOW);
        label->SetWindowText(text);
        return label;
    }

    CommandRecorder m_parent;
};

TEST_F(TextLabel, EmptyTextShowsOnlyTheBackground) {
    auto label = Label(CMStatic::kAlignLeft, 100, QString());
    EXPECT_EQ(InkColumns(RenderedLabel(*label)), std::make_pair(-1, -1));
}

TEST_F(TextLabel, TextSitsAgainstTheEdgeItsAlignmentNames) {
    struct Case {
        int align;
        bool right;
    };
    // Values other than right alignment behave as left.
    const Case cases[] = {{1, false}, {2, true}, {0, false}, {3, false}, {-5, false}};
    for (const Case& c : cases) {
        auto label = Label(c.align, 100, QStringLiteral("1 : 5"));
        const QImage image = RenderedLabel(*label);
        const auto [first, last] = InkColumns(image);
        ASSERT_GE(first, 0) << "align " << c.align;
        if (c.right) {
            EXPECT_GT(first, 50) << "align " << c.align;
            EXPECT_GE(last, 95) << "align " << c.align;
        } else {
            EXPECT_LE(first, 4) << "align " << c.align;
            EXPECT_LT(last, 50) << "align " << c.align;
        }
        SaveShot(*label, QStringLiteral("label-align-%1").arg(c.align));
    }
}

TEST_F(TextLabel, TextIsDrawnInSilver) {
    auto label = Label(CMStatic::kAlignLeft, 100, QStringLiteral("||| 88 : 88"));
    const QImage image = RenderedLabel(*label);
    QRgb brightest = CMStatic::kBackground;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            // Anti-aliased edges blend silver into the background, never past silver.
            ASSERT_LE(std::max({qRed(pixel), qGreen(pixel), qBlue(pixel)}), 192) << x << "," << y;
            if (qRed(pixel) > qRed(brightest)) brightest = pixel;
        }
    // The most covered pixels are a light, neutral grey.
    EXPECT_GE(qRed(brightest), 128);
    EXPECT_LE(std::abs(qRed(brightest) - qGreen(brightest)), 12);
    EXPECT_LE(std::abs(qRed(brightest) - qBlue(brightest)), 12);
}

TEST_F(TextLabel, TooLongTextIsCutAtTheEdgeAwayFromItsAlignmentWithoutWrapOrEllipsis) {
    const QString text = QStringLiteral("88 : 88 88 : 88 88 : 88 88 : 88");
    constexpr int kNarrow = 40, kWide = 400;
    for (int align : {CMStatic::kAlignLeft, CMStatic::kAlignRight}) {
        SCOPED_TRACE(align);
        auto narrow = Label(align, kNarrow, text);
        auto wide = Label(align, kWide, text);
        const QImage cut = RenderedLabel(*narrow);
        const QImage whole = RenderedLabel(*wide);
        // The narrow label shows exactly the part of the whole text line next to its edge.
        const int from = align == CMStatic::kAlignLeft ? 0 : kWide - kNarrow;
        EXPECT_EQ(cut, whole.copy(from, 0, kNarrow, kLabelHeight));
        SaveShot(*narrow, QStringLiteral("label-cut-%1").arg(align));
    }
}

TEST_F(TextLabel, Threads_TextPostedFromAWorkerShowsOnceTheEventLoopRuns) {
    auto label = Label(CMStatic::kAlignLeft, 100, QString());
    const WindowHandle handle = label->GetSafeHwnd();
    bool posted = false;
    // A plain thread: the race checker sees its join, but not the lock behind a Qt thread's wait.
    std::thread worker([&] {
        posted = PostWindowText(handle, QStringLiteral("12 : 34")) && PostInvalidate(handle, TRUE);
    });
    worker.join();  // the posts never wait for the user-interface thread
    EXPECT_TRUE(posted);

    ASSERT_TRUE(PumpUntil([&] { return label->GetWindowText() == QStringLiteral("12 : 34"); }));
    EXPECT_NE(InkColumns(RenderedLabel(*label)).first, -1);
    SaveShot(*label, QStringLiteral("label-posted"));
}

}  // namespace
