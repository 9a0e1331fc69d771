// Which files a folder scan lists, which paths the open dialog and a drop take, and how a path
// splits into its folder and name.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "panels/path_rules.h"

namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

struct NameCase {
    const char* name;
    bool listed;
};

TEST(PlaylistFileName, ExtensionIsEverythingAfterTheFirstDotAndMatchesExactly) {
    const NameCase cases[] = {
        {"a.avi", true},      {"b.MP4", true},      {"c.AVI", true},     {"d.mp4", true},
        {"c.Avi", false},     {"d.mkv", true},      {"e.MKV", true},     {"e.x.avi", false},
        {"cam.1.avi", false}, {"d.Mkv", false},
        {"avi", true},        {"clip", false},      {".avi", true},      {"clip.avi.", false},
        {"clip.avi ", false}, {"clip.", false},     {"", false},
    };
    for (const NameCase& c : cases) EXPECT_EQ(IsPlaylistFileName(QString::fromUtf8(c.name)), c.listed) << c.name;
}

TEST(OpenDialogPath, LastThreeCharactersDecideAndCaseMatters) {
    const NameCase cases[] = {
        {"/clips/b.mkv", true}, {"/clips/b.MKV", true},  {"/clips/a.avi", true},  {"/clips/a.AVI", true},
        {"/clips/a.mp4", true}, {"/clips/a.MP4", true},  {"/clips/xavi", true},   {"/clips/a.Avi", false},
        {"/clips/a.Mkv", false}, {"/clips/a.mov", false}, {"/clips/a.avi/", false}, {"vi", false},
        {"", false},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(IsOpenDialogPathAccepted(QString::fromUtf8(c.name)), c.listed) << c.name;
}

TEST(DropAcceptance, OneFileWithAVideoEnding) {
    const struct {
        QStringList paths;
        bool accepted;
    } cases[] = {
        {{"/rec/clip.AVI"}, true},
        {{"/rec/clip.mp4"}, true},
        {{"/rec/xavi"}, true},
        {{"/rec/clip.Avi"}, false},
        {{"/rec/clip.mkv"}, true},
        {{"/rec/clip.MKV"}, true},
        {{"/rec/clip.Mkv"}, false},
        {{"/rec/cam1/"}, false},
        {{"/rec/a.avi", "/rec/b.avi"}, false},
        {{}, false},
        {{""}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsDropAccepted(c.paths), c.accepted) << c.paths.join(',').toStdString();
}

// The recorders' files are known by their content, whatever their name; the test is asked only
// about what the name does not already take.
TEST(RecordingByContent, TheDialogTheDropAndTheScanTakeARecordingOfAnyName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList asked;
    const RecordingTest isRecording = [&](const QString& path) {
        asked << path;
        return path.endsWith(QStringLiteral("cam1.rec")) || path.endsWith(QStringLiteral("export"));
    };
    for (const char* name : {"cam1.rec", "export", "notes.txt", "a.avi"}) Touch(dir.filePath(name));
    const QString folder = dir.path() + "/";
    EXPECT_TRUE(IsOpenDialogPathAccepted(folder + "cam1.rec", isRecording));
    EXPECT_TRUE(IsOpenDialogPathAccepted(folder + "export", isRecording));
    EXPECT_FALSE(IsOpenDialogPathAccepted(folder + "notes.txt", isRecording));
    EXPECT_FALSE(IsOpenDialogPathAccepted(folder + "cam1.rec"));
    EXPECT_TRUE(IsDropAccepted({folder + "cam1.rec"}, isRecording));
    EXPECT_FALSE(IsDropAccepted({folder + "notes.txt"}, isRecording));
    EXPECT_FALSE(IsDropAccepted({folder + "cam1.rec", folder + "export"}, isRecording));
    asked.clear();
    QStringList names = ScanPlaylistFolder(folder, isRecording);
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.avi", "cam1.rec", "export"}));
    EXPECT_FALSE(asked.contains(folder + "a.avi"));
}

TEST(PathSplit, FolderKeepsItsTrailingSlash) {
    const struct {
        const char* path;
        const char* folder;
        const char* name;
    } cases[] = {
        {"/rec/cam1/a.mp4", "/rec/cam1/", "a.mp4"},
        {"//srv/share/a.avi", "//srv/share/", "a.avi"},
        {"/a.avi", "/", "a.avi"},
        {"a.avi", "", "a.avi"},
        {"/rec/", "/rec/", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOfPath(QString::fromUtf8(c.path)), QString::fromUtf8(c.folder)) << c.path;
        EXPECT_EQ(NameOfPath(QString::fromUtf8(c.path)), QString::fromUtf8(c.name)) << c.path;
    }
}

TEST(PathSplit, AFolderEndsWithExactlyOneSlash) {
    EXPECT_EQ(WithTrailingSlash("/"), "/");
    EXPECT_EQ(WithTrailingSlash("/rec"), "/rec/");
    EXPECT_EQ(WithTrailingSlash("/rec/"), "/rec/");
}

TEST(FolderScan, ListsOnlyTheFolderItselfAndOnlyExactExtensions) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"a.avi", "b.MP4", "c.Avi", "d.mkv", "e.x.avi"}) Touch(dir.filePath(name));
    ASSERT_TRUE(QDir(dir.path()).mkpath("f.avi"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
    Touch(dir.filePath("sub/g.avi"));

    QStringList names = ScanPlaylistFolder(dir.path() + "/");
    names.sort();
    EXPECT_EQ(names, (QStringList{"a.avi", "b.MP4", "d.mkv"}));
}

TEST(FolderScan, KeepsTheOrderTheFileSystemListsAndReadsAFolderWithoutSlash) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int i = 0; i < 30; ++i) Touch(dir.filePath(QStringLiteral("clip%1.avi").arg(i)));
    const QStringList fileSystemOrder = QDir(dir.path()).entryList(QDir::Files, QDir::Unsorted);
    EXPECT_EQ(ScanPlaylistFolder(dir.path()), fileSystemOrder);
}

TEST(FolderScan, AFolderThatCannotBeReadListsNothing) {
    EXPECT_TRUE(ScanPlaylistFolder("/no/such/folder/").isEmpty());
    EXPECT_TRUE(ScanPlaylistFolder("").isEmpty());
}

}  // namespace
