// The playlist pane: its layout and caption font, the folder scan and the open dialog, and the
// paths and snapshot folders it hands the main panel after each of them.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "panels/command_ids.h"
#include "panels/list_wind.h"
#include "panels/pane_texts.h"
#include "panes_test_support.h"

using namespace platform;
using panes_test::AnswerFileDialogs;
using panes_test::CommandRecorder;
using panes_test::PumpFor;
using panes_test::PumpUntil;

namespace {

TEST(PlaylistPaneLayout, ButtonsAtTheRightOfTheBandListBelowIt) {
    const ListWindLayout layout = ComputeListWindLayout(245, 531);
    EXPECT_EQ(layout.add, (Rect{185, 9, 207, 31}));
    EXPECT_EQ(layout.remove, (Rect{215, 9, 237, 31}));
    EXPECT_EQ(layout.files, (Rect{1, 40, 244, 529}));
}

TEST(PlaylistPaneLayout, RussianCaptionIsSmaller) {
    const struct {
        uint32_t language;
        int height;
        int width;
    } cases[] = {{0x409, 17, 8}, {0x419, 13, 7}, {0x404, 17, 8}, {0x407, 17, 8}};
    for (const auto& c : cases) {
        const CaptionFontSize size = PlaylistCaptionFontSize(c.language);
        EXPECT_EQ(size.height, c.height) << c.language;
        EXPECT_EQ(size.width, c.width) << c.language;
    }
}

// A folder of recordings made by the test, and the pane with its dialogs answered from a script.
class PlaylistPane : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rec.isValid());
        for (const char* name : {"a.avi", "b.MP4", "c.Avi", "d.mov", "e.x.avi"}) Touch(rec.filePath(name));
        ASSERT_TRUE(QDir(rec.path()).mkpath("f.avi"));
        folder = rec.path() + "/";
        AnswerFileDialogs([this](const FileDialogRequest& request) {
            requests.push_back(request);
            return answer;
        });
        ASSERT_TRUE(pane.Create(IDD_LIST_WIND, &panel));
        pane.MoveWindow(Rect{715, 0, 960, 531}, TRUE);
        pane.ShowWindow(SW_SHOW);
        panel.ShowWindow(SW_SHOW);
    }
    void TearDown() override { AnswerFileDialogs(nullptr); }

    static void Touch(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // Posts id to the pane as its button or list would, and waits until the pane has dealt with it.
    void Command(UINT id) {
        ASSERT_TRUE(pane.PostMessage(WM_COMMAND, id, 0));
        PumpFor(20);
    }

    QStringList Items() const {
        QStringList items;
        for (int i = 0; i < pane.m_listFiles.GetCount(); ++i) {
            QString text;
            pane.m_listFiles.GetItemText(i, text);
            items.push_back(text);
        }
        items.sort();
        return items;
    }

    QTemporaryDir rec;
    QString folder;
    QString answer;
    std::vector<FileDialogRequest> requests;
    CommandRecorder panel;
    CListWind pane;
};

TEST_F(PlaylistPane, ScanListsTheFolderAndADoubleClickSendsPlayUp) {
    answer = folder;
    Command(ID_PLAYLIST_ADD_FOLDER);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, FileDialogRequest::Kind::Folder);
    EXPECT_EQ(requests[0].title, PaneText(2));
    EXPECT_EQ(Items(), (QStringList{"a.avi", "b.MP4"}));
    EXPECT_EQ(pane.m_strFolder, folder);
    EXPECT_TRUE(panel.received.empty());
    EXPECT_TRUE(panel.walked.empty());  // the pane ends its own commands

    QString path;
    EXPECT_FALSE(pane.GetCurrentPath(path));  // nothing chosen yet
    Command(ID_PLAYLIST_PLAY);
    ASSERT_TRUE(PumpUntil([&] { return !panel.received.empty(); }));
    EXPECT_EQ(panel.received, (std::vector<WParam>{ID_PLAYLIST_PLAY}));
    QString first;
    ASSERT_TRUE(pane.m_listFiles.GetItemText(0, first));
    ASSERT_TRUE(pane.GetCurrentPath(path));
    EXPECT_EQ(path, folder + first);
    QString snapshots;
    ASSERT_TRUE(pane.GetSnapshotFolder(snapshots));
    EXPECT_EQ(snapshots, folder);
}

TEST_F(PlaylistPane, ChosenFileServesSnapshotsUntilTheNextScanWhilePlayStaysWithTheList) {
    answer = folder;
    Command(ID_PLAYLIST_ADD_FOLDER);

    answer = "/clips/b.mkv";
    QString chosen;
    ASSERT_TRUE(pane.ChooseFile(chosen));
    EXPECT_EQ(chosen, "/clips/b.mkv");
    EXPECT_EQ(requests.back().kind, FileDialogRequest::Kind::OpenFile);
    EXPECT_TRUE(requests.back().nameFilters.join(' ').contains("*.avi"));
    EXPECT_EQ(pane.m_strName, "b.mkv");
    EXPECT_EQ(pane.m_listFiles.GetCount(), 2);  // the chosen file is not added to the list
    QString snapshots;
    ASSERT_TRUE(pane.GetSnapshotFolder(snapshots));
    EXPECT_EQ(snapshots, "/clips/");

    Command(ID_PLAYLIST_PLAY);
    QString first, path;
    ASSERT_TRUE(pane.m_listFiles.GetItemText(0, first));
    ASSERT_TRUE(pane.GetCurrentPath(path));
    EXPECT_EQ(path, folder + first);
    ASSERT_TRUE(pane.GetSnapshotFolder(snapshots));
    EXPECT_EQ(snapshots, "/clips/");

    answer = folder;
    Command(ID_PLAYLIST_ADD_FOLDER);
    ASSERT_TRUE(pane.GetSnapshotFolder(snapshots));
    EXPECT_EQ(snapshots, folder);
}

TEST_F(PlaylistPane, OpenDialogRefusesOtherTypesAndCancelWithoutChangingAnything) {
    answer = "/clips/b.mkv";
    QString chosen;
    ASSERT_TRUE(pane.ChooseFile(chosen));
    for (const char* refused : {"/clips/notes.txt", "/clips/a.Avi", ""}) {
        answer = QString::fromLatin1(refused);
        QString out = "untouched";
        EXPECT_FALSE(pane.ChooseFile(out)) << refused;
        EXPECT_EQ(out, "untouched");
        EXPECT_EQ(pane.m_strName, "b.mkv");
        EXPECT_EQ(pane.m_strFileFolder, "/clips/");
        EXPECT_EQ(pane.m_nPathSource, 1);
    }
}

TEST_F(PlaylistPane, DeleteEmptiesTheListOnlyAndACancelledScanLeavesNoFolder) {
    answer = folder;
    Command(ID_PLAYLIST_ADD_FOLDER);
    Command(ID_PLAYLIST_DELETE);
    EXPECT_EQ(pane.m_listFiles.GetCount(), 0);
    EXPECT_EQ(pane.m_strFolder, folder);

    Command(ID_PLAYLIST_ADD_FOLDER);
    answer.clear();
    Command(ID_PLAYLIST_ADD_FOLDER);
    EXPECT_EQ(pane.m_listFiles.GetCount(), 0);
    EXPECT_TRUE(pane.m_strFolder.isEmpty());
    Command(ID_PLAYLIST_PLAY);
    QString path, snapshots;
    EXPECT_FALSE(pane.GetCurrentPath(path));
    EXPECT_FALSE(pane.GetSnapshotFolder(snapshots));
}

// Counts the paints of a window.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST_F(PlaylistPane, NewEntriesAreShownWithoutWaitingForAnotherReason) {
    PaintCounter counter;
    pane.m_listFiles.installEventFilter(&counter);
    AnswerFileDialogs([&](const FileDialogRequest&) {
        PumpFor(20);  // the list was emptied and redrawn before the dialog
        counter.paints = 0;
        return folder;
    });
    Command(ID_PLAYLIST_ADD_FOLDER);
    ASSERT_EQ(pane.m_listFiles.GetCount(), 2);
    EXPECT_TRUE(PumpUntil([&] { return counter.paints > 0; }));
}

TEST_F(PlaylistPane, TheRootFolderKeepsASingleSlash) {
    answer = "/";
    Command(ID_PLAYLIST_ADD_FOLDER);
    EXPECT_EQ(pane.m_strFolder, "/");
}

TEST_F(PlaylistPane, PaintsTheBandAndTheListArea) {
    const QImage shot = pane.grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(2, 2)), QColor(0, 22, 30));
    EXPECT_EQ(QColor(shot.pixel(0, 100)), QColor(38, 48, 53));  // the list leaves its first column
    EXPECT_EQ(pane.m_btnAdd.m_strTip, PaneText(3));
    EXPECT_EQ(pane.m_btnDelete.m_strTip, PaneText(4));
}

}  // namespace
