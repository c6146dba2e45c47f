// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const FolderListing::Entry* find(const FolderListing& listing, const QString& name)
{
    for (const auto& entry : listing.entries())
        if (entry.name == name)
            return &entry;
    return nullptr;
}

} // namespace

TEST(FolderListing, ListsInTheOrderOfQDirName)
{
    QTemporaryDir dir;
    for (const char* name :
         {"b.wav", "a.wav", "B.wav", "Ärger.wav", "z", ".hidden", "10.wav", "9.wav"})
        write(dir.filePath(QString::fromUtf8(name)), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600);
    QFile::link(dir.filePath("missing"), dir.filePath("dangling"));

    const FolderListing listing(dir.path());
    QStringList names;
    for (const auto& entry : listing.entries())
        names << entry.name;
    const QStringList expected =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    EXPECT_EQ(names, expected);
    EXPECT_EQ(names.size(), 11) << "hidden files, FIFOs and dangling links are listed too";
}

TEST(FolderListing, TellsFoldersAndLinksAndMeasuresWhatIsAskedFor)
{
    QTemporaryDir dir;
    write(dir.filePath("take.wav"), QByteArray(1234, 'x'));
    write(dir.filePath("notes.txt"), QByteArray(10, 'x'));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.wav"));
    QFile::link(dir.filePath("take.wav"), dir.filePath("alias.wav"));
    QFile::link(dir.filePath("folder.wav"), dir.filePath("loop.wav"));
    QFile::link(dir.filePath("gone.wav"), dir.filePath("dangling.wav"));

    const FolderListing listing(
        dir.path(), [](const QString& name) { return name.endsWith(QLatin1String(".wav")); });
    ASSERT_EQ(listing.entries().size(), 6u);
    const auto* take = find(listing, "take.wav");
    const auto* alias = find(listing, "alias.wav");
    const auto* folder = find(listing, "folder.wav");
    const auto* loop = find(listing, "loop.wav");
    const auto* dangling = find(listing, "dangling.wav");
    const auto* notes = find(listing, "notes.txt");
    ASSERT_TRUE(take && alias && folder && loop && dangling && notes);

    EXPECT_FALSE(take->isDir);
    EXPECT_FALSE(take->isSymLink);
    EXPECT_EQ(take->size, 1234);
    EXPECT_TRUE(alias->isSymLink);
    EXPECT_EQ(alias->size, 1234) << "a link is measured by what it names";
    EXPECT_TRUE(folder->isDir);
    EXPECT_EQ(folder->size, -1) << "folders are not measured";
    EXPECT_TRUE(loop->isDir);
    EXPECT_TRUE(loop->isSymLink);
    EXPECT_FALSE(dangling->isDir);
    EXPECT_TRUE(dangling->isSymLink);
    EXPECT_EQ(dangling->size, 0) << "nothing to measure, as QFileInfo::size() says";
    EXPECT_EQ(notes->size, -1) << "not asked for";
}

TEST(FolderListing, AnUnreadableFolderHasNoEntries)
{
    QTemporaryDir dir;
    EXPECT_TRUE(FolderListing(dir.filePath("missing")).entries().empty());
    write(dir.filePath("file"), "x");
    EXPECT_TRUE(FolderListing(dir.filePath("file")).entries().empty());
}
