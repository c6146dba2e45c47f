// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/AtomicFile.h"
#include "platform/system/PendingFile.h"
#include "support/SmallDisk.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

TEST(AtomicFileTest, ReplacesTheWholeFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.plist");
    ASSERT_TRUE(AtomicFile::write(path, QByteArray(100000, 'a')));
    QString error;
    ASSERT_TRUE(AtomicFile::write(path, "short", &error)) << error.toStdString();
    EXPECT_EQ(contents(path), "short");
    EXPECT_EQ(entries(dir.path()), QStringList{"a.plist"});
}

TEST(AtomicFileTest, HoldsOnlyTheSameBytesExactly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.plist");
    // Larger than one piece of the comparison, with the difference in the last piece.
    QByteArray data(3 * 1024 * 1024 + 17, 'a');
    ASSERT_TRUE(AtomicFile::write(path, data));
    EXPECT_TRUE(AtomicFile::holds(path, data));
    QByteArray changed = data;
    changed[changed.size() - 1] = 'b';
    EXPECT_FALSE(AtomicFile::holds(path, changed));
    EXPECT_FALSE(AtomicFile::holds(path, data.left(data.size() - 1)));
    EXPECT_FALSE(AtomicFile::holds(path, data + 'a'));
    EXPECT_FALSE(AtomicFile::holds(dir.filePath("missing"), QByteArray()));
    // A link is never taken for the file: a write would replace the link itself.
    ASSERT_TRUE(QFile::link(path, dir.filePath("link")));
    EXPECT_FALSE(AtomicFile::holds(dir.filePath("link"), data));
}

TEST(AtomicFileTest, AFullDiskKeepsThePreviousFileByteForByte)
{
    SmallDisk disk(256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small tmpfs is not allowed here";
    const QString path = QDir(disk.path()).filePath("a.plist");
    const QByteArray before(20000, 'b');
    ASSERT_TRUE(AtomicFile::write(path, before));
    ASSERT_GT(disk.fill(), 0);

    QString error;
    EXPECT_FALSE(AtomicFile::write(path, QByteArray(60000, 'c'), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(path), before);
    EXPECT_EQ(entries(disk.path()), (QStringList{"a.plist", "filler"}));

    disk.release();
    EXPECT_TRUE(AtomicFile::write(path, QByteArray(60000, 'c')));
    EXPECT_EQ(contents(path), QByteArray(60000, 'c'));
}

TEST(AtomicFileTest, AWriteFailingHalfWayKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.plist");
    ASSERT_TRUE(AtomicFile::write(path, "previous"));
    QString error;
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(AtomicFile::write(path, QByteArray(200000, 'x'), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents(path), "previous");
    EXPECT_EQ(entries(dir.path()), QStringList{"a.plist"});
}

TEST(AtomicFileTest, AFolderThatCannotBeWrittenIsAFailure)
{
    QString error;
    EXPECT_FALSE(AtomicFile::write("/nonexistent-folder/a.plist", "x", &error));
    EXPECT_FALSE(error.isEmpty());
}

// Commits `bytes` under `fileName` in `folder`; the path it got, or the error.
QString commitPending(const QString& folder, const QString& fileName, const QByteArray& bytes)
{
    PendingFile file(folder);
    if (!file.open() || !file.write(bytes.constData(), bytes.size()))
        return file.errorString();
    const QString path = file.commit(fileName);
    return path.isEmpty() ? file.errorString() : path;
}

TEST(PendingFileTest, ATakenNameIsNumberedAndKeepsItsOwnPlaceMarkers)
{
    // Names sent from elsewhere may hold "%1" and "%2": the numbered names keep them as they are.
    QTemporaryDir dir;
    const QString folder = dir.path();
    EXPECT_EQ(commitPending(folder, "Q%1 %2.wav", "one"), folder + "/Q%1 %2.wav");
    EXPECT_EQ(commitPending(folder, "Q%1 %2.wav", "two"), folder + "/Q%1 %2 (2).wav");
    EXPECT_EQ(commitPending(folder, "Q%1 %2.wav", "three"), folder + "/Q%1 %2 (3).wav");
    EXPECT_EQ(contents(folder + "/Q%1 %2.wav"), "one");
    EXPECT_EQ(contents(folder + "/Q%1 %2 (2).wav"), "two");
    EXPECT_EQ(contents(folder + "/Q%1 %2 (3).wav"), "three");

    // A name without an extension.
    EXPECT_EQ(PendingFile::numberedName("100%1", 2), "100%1 (2)");
}

} // namespace
