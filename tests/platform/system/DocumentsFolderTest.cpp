// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DocumentsFolder.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using sonavell::test::ScratchDir;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(DocumentsFolderTest, StandardPlaceIsOneLevelBelowTheDataHome)
{
    EXPECT_EQ(DocumentsFolder::standardPath("/home/ann/.local/share"),
              "/home/ann/.local/share/Sonavell/Documents");
    EXPECT_EQ(DocumentsFolder::earlierPath("/home/ann/.local/share"),
              "/home/ann/.local/share/Sonavell/Sonavell/Documents");
}

TEST(DocumentsFolderTest, FirstRunUsesTheStandardPlaceAndMovesNothing)
{
    ScratchDir home;
    EXPECT_EQ(DocumentsFolder::settle(home.path()), home.path() + "/Sonavell/Documents");
    EXPECT_TRUE(QDir(home.path()).isEmpty()) << "the library creates the folder itself";
}

// A user of an earlier version: the whole library moves, links inside it and all, and the
// emptied application folder goes.
TEST(DocumentsFolderTest, EarlierLibraryMovesToTheStandardPlace)
{
    ScratchDir home;
    const QString earlier = DocumentsFolder::earlierPath(home.path());
    home.write("Sonavell/Sonavell/Documents/REC20090101120000.wav", "memo");
    home.write("Sonavell/Sonavell/Documents/recordings.plist", "archive");
    ASSERT_TRUE(QFile::link("REC20090101120000.wav", earlier + "/alias.wav"));
    // An empty standard folder (made by hand, say) is no obstacle.
    ASSERT_TRUE(QDir().mkpath(home.file("Sonavell/Documents")));

    const QString standard = DocumentsFolder::settle(home.path());
    EXPECT_EQ(standard, home.path() + "/Sonavell/Documents");
    EXPECT_EQ(readAll(standard + "/REC20090101120000.wav"), "memo");
    EXPECT_EQ(readAll(standard + "/recordings.plist"), "archive");
    EXPECT_EQ(readAll(standard + "/alias.wav"), "memo");
    EXPECT_FALSE(QFileInfo::exists(earlier));
    EXPECT_FALSE(QFileInfo::exists(home.file("Sonavell/Sonavell")));

    // The next start finds it in place.
    EXPECT_EQ(DocumentsFolder::settle(home.path()), standard);
    EXPECT_EQ(readAll(standard + "/recordings.plist"), "archive");
}

TEST(DocumentsFolderTest, BothFoldersInUseKeepsBothUntouched)
{
    ScratchDir home;
    home.write("Sonavell/Sonavell/Documents/old.wav", "old");
    home.write("Sonavell/Sonavell/other-data", "kept");
    home.write("Sonavell/Documents/new.wav", "new");

    EXPECT_EQ(DocumentsFolder::settle(home.path()), home.path() + "/Sonavell/Documents");
    EXPECT_EQ(readAll(home.file("Sonavell/Sonavell/Documents/old.wav")), "old");
    EXPECT_EQ(readAll(home.file("Sonavell/Documents/new.wav")), "new");
    EXPECT_FALSE(QFileInfo::exists(home.file("Sonavell/Documents/old.wav")));
}

// A move that cannot be made leaves the earlier library where it is, in use. Here its
// application folder is a link to another file system, which rename(2) cannot cross.
TEST(DocumentsFolderTest, FailedMoveKeepsUsingTheEarlierFolder)
{
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/sonavell-documents-XXXXXX"));
    struct stat there
    {
    };
    struct stat here
    {
    };
    ScratchDir home;
    if (!elsewhere.isValid() || ::stat("/dev/shm", &there) != 0 ||
        ::stat(QFile::encodeName(home.path()).constData(), &here) != 0 ||
        there.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    ASSERT_TRUE(QDir().mkpath(elsewhere.filePath("Documents")));
    QFile memo(elsewhere.filePath("Documents/old.wav"));
    ASSERT_TRUE(memo.open(QIODevice::WriteOnly) && memo.write("old") == 3);
    memo.close();
    ASSERT_TRUE(QDir().mkpath(home.file("Sonavell")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), home.file("Sonavell/Sonavell")));

    const QString earlier = DocumentsFolder::earlierPath(home.path());
    EXPECT_EQ(DocumentsFolder::settle(home.path()), earlier);
    EXPECT_EQ(readAll(earlier + "/old.wav"), "old");
    EXPECT_FALSE(QFileInfo::exists(home.file("Sonavell/Documents")));
}

} // namespace
