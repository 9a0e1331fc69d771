// Which folder the player works in: the one that holds its language files, looked for in the
// current folder, beside the executable and in an install's share/telvane.

#include <QDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "shell/data_folder.h"
#include "tests/support/fixtures.h"

namespace fs = std::filesystem;

namespace {

struct DataFolderCase {
    const char* name;
    std::vector<const char*> dataFolders;  // folders under the test's root given a langconfig
    const char* current;
    const char* executable;  // empty: unknown
    const char* found;       // empty: none
};

TEST(DataFolder, TheCurrentFolderThenTheExecutablesThenTheInstalledShare) {
    const DataFolderCase cases[] = {
        {"a launcher's folder", {"work", "prefix/bin", "prefix/share/telvane"}, "work", "prefix/bin", "work"},
        {"the build tree", {"prefix/bin"}, "work", "prefix/bin", "prefix/bin"},
        {"an install", {"prefix/share/telvane"}, "work", "prefix/bin", "prefix/share/telvane"},
        {"nowhere", {}, "work", "prefix/bin", ""},
        {"no executable folder", {"prefix/share/telvane"}, "work", "", ""},
    };
    for (const DataFolderCase& c : cases) {
        fixtures::TempDir root;
        const fs::path base = root.Path();
        for (const char* folder : {"work", "prefix/bin", "prefix/share/telvane"}) fs::create_directories(base / folder);
        for (const char* folder : c.dataFolders) fs::create_directories(base / folder / "langconfig");
        const auto in = [&](const char* folder) {
            return *folder ? QString::fromStdString((base / folder).string()) : QString();
        };
        const QString found = FindDataFolder(in(c.current), in(c.executable));
        EXPECT_EQ(QDir::cleanPath(found), QDir::cleanPath(in(c.found))) << c.name;
    }
}

TEST(DataFolder, AFileNamedLikeTheLanguageFolderIsNoData) {
    fixtures::TempDir root;
    fs::create_directories(fs::path(root.Path()) / "bin");
    std::ofstream(root.File("langconfig")) << "not a folder";
    EXPECT_EQ(FindDataFolder(QString::fromStdString(root.Path()), QString::fromStdString(root.File("bin"))), QString());
}

TEST(DataFolder, EnteringLeavesTheCurrentFolderWhenThereIsNoData) {
    fixtures::TempDir root;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(root.Path())));
    EXPECT_FALSE(EnterDataFolder(QString::fromStdString(root.Path())));
    EXPECT_EQ(fs::current_path(), fs::canonical(root.Path()));

    fs::create_directories(fs::path(root.Path()) / "share/telvane/langconfig");
    fs::create_directories(fs::path(root.Path()) / "bin");
    EXPECT_TRUE(EnterDataFolder(QString::fromStdString(root.File("bin"))));
    EXPECT_EQ(fs::current_path(), fs::canonical(root.File("share/telvane")));
    QDir::setCurrent(previous);
}

}  // namespace
