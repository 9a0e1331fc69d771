// The converter's window on the offscreen platform: recordings converted one after the other on
// its worker thread, errors per recording, cancel, and closing while a conversion runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <memory>

#include "tests/support/fixtures.h"
#include "tools/kadrel/kadrel_window.h"

namespace fs = std::filesystem;

namespace {

using RowState = KadrelWindow::RowState;

// Generous: a bound so that a hung worker fails the test instead of hanging it.
constexpr int kConversionBoundMs = 120000;

QApplication& App() {
    static int argc = 1;
    static char name[] = "kadrel_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

class KadrelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        m_texts.Load(0x409, TELVANE_SOURCE_DIR "/data/kadrel_lang/");
    }

    QString Recording(const std::string& name) {
        if (m_clip.empty()) {
            fixtures::ClipOptions clip;
            clip.seconds = 1.0;
            m_clip = fixtures::MakeClip(m_dir, "clip", clip);
        }
        return QString::fromStdString(fixtures::MakeRecording(m_dir, m_clip, name));
    }

    QString Folder(const std::string& name) {
        fs::create_directories(m_dir.File(name));
        return QString::fromStdString(m_dir.File(name));
    }

    static bool WaitForEnd(KadrelWindow& window) {
        QSignalSpy finished(&window, &KadrelWindow::ConversionFinished);
        return !window.IsConverting() || finished.wait(kConversionBoundMs);
    }

    fixtures::TempDir m_dir;
    std::string m_clip;
    KadrelTexts m_texts;
};

TEST_F(KadrelWindowTest, converts_each_listed_recording_and_shows_each_result) {
    const QString good = Recording("good.rec");
    const QString bad = QString::fromStdString(m_dir.File("bad.rec"));
    ASSERT_TRUE(fixtures::WriteBytes(bad.toStdString(), {'x'}));
    const QString out = Folder("out");

    KadrelWindow window(m_texts);
    window.AddRecordings({good, bad, good, QString::fromStdString(m_dir.Path())});  // twice, and a folder
    ASSERT_EQ(window.RowCount(), 2);
    EXPECT_EQ(window.StatusTextOf(0), "Waiting");
    window.SetOutputFolder(out);
    ASSERT_TRUE(window.StartConversion());
    EXPECT_FALSE(window.StartConversion());  // one run at a time
    ASSERT_TRUE(WaitForEnd(window));

    EXPECT_EQ(window.StateOf(0), RowState::kConverted);
    EXPECT_EQ(window.ProgressOf(0), 100);
    EXPECT_EQ(window.StatusTextOf(0), "Saved as " + out + "/good.mp4");
    EXPECT_TRUE(fs::exists(m_dir.File("out/good.mp4")));
    EXPECT_EQ(window.StateOf(1), RowState::kFailed);
    EXPECT_EQ(window.StatusTextOf(1), "Not a recording");
    EXPECT_EQ(window.SummaryText(), "1 of 2 converted - 1 failed");

    // Converting again leaves the converted recording alone and retries the failed one.
    ASSERT_TRUE(window.StartConversion());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window.SummaryText(), "0 of 1 converted - 1 failed");
    EXPECT_FALSE(fs::exists(m_dir.File("out/good (2).mp4")));
}

TEST_F(KadrelWindowTest, cancel_stops_the_queue_and_leaves_no_half_written_file) {
    KadrelWindow window(m_texts);
    const QString out = Folder("cancelled");
    window.AddRecordings({Recording("one.rec"), Recording("two.rec"), Recording("three.rec")});
    window.SetOutputFolder(out);
    ASSERT_TRUE(window.StartConversion());
    window.CancelConversion();
    ASSERT_TRUE(WaitForEnd(window));

    // The first may have finished before the cancel arrived; none after it started.
    int converted = 0;
    for (int row = 0; row < window.RowCount(); ++row) {
        if (window.StateOf(row) == RowState::kConverted) ++converted;
        if (row > 0) {
            EXPECT_EQ(window.StateOf(row), RowState::kWaiting) << row;
        }
    }
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out.toStdString())) {
        EXPECT_EQ(entry.path().extension(), ".mp4") << entry.path();
        ++files;
    }
    EXPECT_EQ(files, size_t(converted));
}

TEST_F(KadrelWindowTest, closing_while_converting_ends_the_worker_first) {
    const QString recording = Recording("close.rec");
    const QString out = Folder("closed");
    auto window = std::make_unique<KadrelWindow>(m_texts);
    window->AddRecordings({recording});
    window->SetOutputFolder(out);
    ASSERT_TRUE(window->StartConversion());
    window->close();
    window.reset();
    for (const auto& entry : fs::directory_iterator(out.toStdString())) {
        EXPECT_EQ(entry.path().extension(), ".mp4") << "left behind: " << entry.path();
    }
}

TEST_F(KadrelWindowTest, with_no_folder_chosen_the_mp4_goes_beside_the_recording) {
    KadrelWindow window(m_texts);
    window.AddRecordings({Recording("a.rec")});
    window.SetOutputFolder("");
    EXPECT_TRUE(window.StartConversion());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window.StateOf(0), RowState::kConverted);
    EXPECT_TRUE(fs::exists(m_dir.File("a.mp4")));
}

// The player hands over its file with the marked stretch: the row names the stretch, and the MP4
// holds just that; the same file without a stretch is a row of its own.
TEST_F(KadrelWindowTest, a_handed_over_stretch_is_listed_and_converted_alone) {
    KadrelWindow window(m_texts);
    const QString recording = Recording("marked.rec");
    window.AddRecordings({recording}, ConvertStretch{200, 600});
    window.AddRecordings({recording}, ConvertStretch{200, 600});
    window.AddRecordings({recording});
    ASSERT_EQ(window.RowCount(), 2);
    EXPECT_EQ(window.NameTextOf(0), "marked.rec  0:00:00.200 - 0:00:00.600");
    EXPECT_EQ(window.NameTextOf(1), "marked.rec");
    window.SetOutputFolder(Folder("stretch"));
    ASSERT_TRUE(window.StartConversion());
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window.StateOf(0), RowState::kConverted);
    EXPECT_TRUE(fs::exists(m_dir.File("stretch/marked_0-00-00_0-00-00.mp4")));
    EXPECT_TRUE(fs::exists(m_dir.File("stretch/marked.mp4")));
}

// Files dropped on the window join the list; a drop while converting is refused.
TEST_F(KadrelWindowTest, dropped_files_join_the_list) {
    KadrelWindow window(m_texts);
    const QString recording = Recording("dropped.rec");
    auto drop = [&window](const QString& path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(20, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent event(QPointF(20, 60), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    };
    drop(recording);
    ASSERT_EQ(window.RowCount(), 1);
    ASSERT_TRUE(window.StartConversion());
    drop(QString::fromStdString(m_clip));
    EXPECT_EQ(window.RowCount(), 1);
    ASSERT_TRUE(WaitForEnd(window));
    EXPECT_EQ(window.StateOf(0), RowState::kConverted);
}

}  // namespace
