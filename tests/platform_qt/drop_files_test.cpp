// Files dragged onto a window: taken only by a window that accepts files, one entry per dropped
// item, an empty entry for an item that is no local file.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include "platform/qt/wnd.h"
#include "window_test_support.h"

using namespace platform;

namespace {

class DropLog : public CWnd {
public:
    QStringList dropped;
    int drops = 0;

protected:
    void OnDropFiles(const QStringList& paths) override {
        dropped = paths;
        ++drops;
    }
};

struct Drag {
    QMimeData data;

    explicit Drag(const QList<QUrl>& urls) { data.setUrls(urls); }

    // True when the window took the drag.
    bool EnterOver(QWidget& window) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        return enter.isAccepted();
    }
    bool DropOn(QWidget& window) {
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
        return drop.isAccepted();
    }
};

TEST(DropFiles, WindowThatAcceptsFilesGetsOneEntryPerItem) {
    DropLog window;
    ASSERT_TRUE(window.CreateEx(nullptr, Rect{0, 0, 100, 100}, WS_POPUP | WS_VISIBLE, 0));
    window.DragAcceptFiles(TRUE);

    Drag drag({QUrl::fromLocalFile("/rec/cam 1/a.avi"), QUrl("https://example.org/b.mp4"),
               QUrl::fromLocalFile("/rec/c.MP4")});
    EXPECT_TRUE(drag.EnterOver(window));
    EXPECT_TRUE(drag.DropOn(window));
    ASSERT_EQ(window.drops, 1);
    EXPECT_EQ(window.dropped, (QStringList{"/rec/cam 1/a.avi", QString(), "/rec/c.MP4"}));
}

TEST(DropFiles, RefusedByAWindowThatDoesNotAcceptFilesOrWhenNothingIsCarried) {
    DropLog window;
    ASSERT_TRUE(window.CreateEx(nullptr, Rect{0, 0, 100, 100}, WS_POPUP | WS_VISIBLE, 0));
    Drag file({QUrl::fromLocalFile("/rec/a.avi")});
    EXPECT_FALSE(file.EnterOver(window));  // files are refused until the window asks for them
    EXPECT_FALSE(file.DropOn(window));

    window.DragAcceptFiles(TRUE);
    QMimeData text;
    text.setText("/rec/a.avi");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_FALSE(enter.isAccepted());

    window.DragAcceptFiles(FALSE);
    EXPECT_FALSE(file.DropOn(window));
    EXPECT_EQ(window.drops, 0);
}

}  // namespace
