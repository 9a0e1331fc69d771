// The four panes laid out as the main panel lays them out in a 960 x 650 window, with the shipped
// pictures: each paints its own area. Set TELVANE_SHOTS_DIR to keep the picture as panes.png.

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "panels/command_ids.h"
#include "panels/ctrl_wind.h"
#include "panels/list_wind.h"
#include "panels/m_status_bar.h"
#include "panels/play_wind.h"
#include "panes_test_support.h"
#include "platform/video_target.h"

using namespace platform;
using panes_test::CommandRecorder;
using panes_test::PumpFor;
using panes_test::PumpUntil;

namespace {

void PresentStripes(WindowHandle handle, const Rect& dest) {
    std::thread renderThread([handle, dest] {
        const int width = 160, height = 90;
        std::vector<uint32_t> pixels(width * height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels[y * width + x] = 0xFF000060u | (x * 255 / width) << 16 | (y * 255 / height) << 8;
        PresentedPicture picture{reinterpret_cast<const uint8_t*>(pixels.data()), width, height, width * 4, dest};
        VideoTargetLease target(handle);
        if (target) target->Present(picture);
    });
    renderThread.join();
}

TEST(PanesTogether, EachPanePaintsItsOwnPlace) {
    QTemporaryDir rec;
    for (const char* name : {"cam1-0800.avi", "cam1-0900.avi", "cam2-0800.mp4", "notes.txt"}) {
        QFile file(rec.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    panes_test::AnswerFileDialogs([&](const FileDialogRequest&) { return rec.path() + "/"; });

    CommandRecorder panel;
    CCtrlWind ctrl;
    CListWind list;
    CPlayWind video;
    CMStatusBar status;
    ASSERT_TRUE(ctrl.Create(IDD_CTRL_WIND, &panel));
    ASSERT_TRUE(list.Create(IDD_LIST_WIND, &panel));
    ASSERT_TRUE(video.Create(IDD_PLAY_WIND, &panel));
    ASSERT_TRUE(status.Create(IDD_STATUS_BAR, &panel));
    ctrl.MoveWindow(Rect{0, 570, 714, 650}, TRUE);
    video.MoveWindow(Rect{0, 39, 715, 570}, TRUE);
    list.MoveWindow(Rect{715, 0, 960, 650}, TRUE);
    status.MoveWindow(Rect{0, 0, 714, 38}, TRUE);
    for (CWnd* pane : std::initializer_list<CWnd*>{&ctrl, &video, &list, &status}) pane->ShowWindow(SW_SHOW);
    panel.ShowWindow(SW_SHOW);

    list.PostMessage(WM_COMMAND, ID_PLAYLIST_ADD_FOLDER, 0);
    ASSERT_TRUE(PumpUntil([&] { return list.m_listFiles.GetCount() == 3; }));
    status.SetFileName(rec.path() + "/cam1-0800.avi");
    status.SetSpeedLabel(3);
    ctrl.m_sliderSeek.m_nMax = 3600000;
    ctrl.m_sliderSeek.SetPos(1234000);
    ctrl.SetVolume(40000);
    ctrl.SetPlayState(FALSE);
    PresentStripes(video.GetSafeHwnd(), Rect{37, 15, 677, 375});
    ASSERT_TRUE(PumpUntil([&] { return ctrl.m_lblPosition.GetWindowText() == "20 : 34"; }));
    PumpFor(50);

    const QImage shot = panel.grab().toImage();
    qt_test::SaveShot(shot, QStringLiteral("panes"));
    EXPECT_EQ(QColor(shot.pixel(300, 20)), QColor(0, 22, 30));    // status bar, right of its text
    EXPECT_EQ(QColor(shot.pixel(5, 45)), QColor(0, 0, 0));        // video pane, beside the picture
    EXPECT_NE(QColor(shot.pixel(357, 240)), QColor(0, 0, 0));     // the presented picture
    EXPECT_EQ(QColor(shot.pixel(700, 640)), QColor(0, 22, 30));   // control bar, right of the buttons
    EXPECT_EQ(QColor(shot.pixel(718, 5)), QColor(0, 22, 30));     // playlist band
    EXPECT_EQ(QColor(shot.pixel(716, 600)), QColor(38, 48, 53));  // playlist list area
    EXPECT_EQ(QColor(shot.pixel(714, 300)), QColor(0, 0, 0));     // the video pane reaches the playlist
}

}  // namespace
