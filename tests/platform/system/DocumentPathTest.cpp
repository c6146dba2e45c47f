// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/DocumentPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class DocumentPathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(docs()));
        QFile file(docs() + "/memo.wav");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QFile outside(m_dir.filePath("secret"));
        ASSERT_TRUE(outside.open(QIODevice::WriteOnly));
    }
    QString docs() const { return m_dir.filePath("docs"); }
    QString real(const QString& name) const
    {
        return QFileInfo(docs()).canonicalFilePath() + "/" + name;
    }

    QTemporaryDir m_dir;
};

TEST_F(DocumentPathTest, NamesInsideTheFolderResolveWhetherOrNotTheyExist)
{
    EXPECT_EQ(DocumentPath::resolve(docs(), "memo.wav"), real("memo.wav"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "new.wav"), real("new.wav"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "sub/../memo.wav"), real("memo.wav"));
    ASSERT_TRUE(QFile::link(docs() + "/memo.wav", docs() + "/alias.wav"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "alias.wav"), real("memo.wav"));
}

TEST_F(DocumentPathTest, NamesThatLeadOutsideAreRefused)
{
    EXPECT_EQ(DocumentPath::resolve(docs(), "../secret"), QString());
    EXPECT_EQ(DocumentPath::resolve(docs(), "../new"), QString());
    EXPECT_EQ(DocumentPath::resolve(docs(), m_dir.filePath("secret")), QString());
    EXPECT_EQ(DocumentPath::resolve(docs(), ""), QString());
    EXPECT_EQ(DocumentPath::resolve(docs(), "."), QString());
    ASSERT_TRUE(QFile::link(m_dir.filePath("secret"), docs() + "/passwd.wav"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "passwd.wav"), QString());
    // A dangling link: writing through it would create its target wherever it points.
    ASSERT_TRUE(QFile::link(m_dir.filePath("later"), docs() + "/later.wav"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "later.wav"), QString());
    // A folder link leading out of the documents folder.
    ASSERT_TRUE(QFile::link(m_dir.path(), docs() + "/up"));
    EXPECT_EQ(DocumentPath::resolve(docs(), "up/secret"), QString());
    EXPECT_EQ(DocumentPath::resolve(m_dir.filePath("missing"), "memo.wav"), QString());
}

TEST_F(DocumentPathTest, OnlyRegularFilesAreFiles)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(docs() + "/x.wav").constData(), 0600), 0);
    ASSERT_TRUE(QDir(docs()).mkdir("dir.wav"));
    EXPECT_EQ(DocumentPath::kind(real("memo.wav")), DocumentPath::Kind::Regular);
    EXPECT_EQ(DocumentPath::kind(real("none.wav")), DocumentPath::Kind::Missing);
    EXPECT_EQ(DocumentPath::kind(real("x.wav")), DocumentPath::Kind::Other);
    EXPECT_EQ(DocumentPath::kind(real("dir.wav")), DocumentPath::Kind::Other);
    EXPECT_EQ(DocumentPath::resolveFile(docs(), "x.wav"), QString());
    EXPECT_EQ(DocumentPath::resolveFile(docs(), "none.wav"), real("none.wav"));
    EXPECT_EQ(DocumentPath::resolveFile(docs(), "memo.wav"), real("memo.wav"));
}

} // namespace
