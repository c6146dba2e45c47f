// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ImagePickerController.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ImagePickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.resize(320, 480);
        picker = new ImagePickerController(&host);
        picker->hide();
        picker->setFolder(folder());
        picker->setDelegate(
            {[this](ImagePickerController*, const QImage& image) { picked << image; },
             [this](ImagePickerController*) { ++cancels; }});
        QDir().mkpath(folder());
        host.show();
    }

    QString folder() const { return dir.file(QStringLiteral("Pictures")); }

    void write(const QString& name, QSize size, const char* format = nullptr)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString path = folder() + "/" + name;
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(image.save(path, format));
    }

    // Shows the picker and waits until it has listed everything.
    QStringList open()
    {
        host.presentModalViewController(picker, false);
        while (picker->isLoading())
            QCoreApplication::processEvents();
        QStringList names;
        for (const QString& path : picker->picturePaths())
            names << QDir(folder()).relativeFilePath(path);
        return names;
    }

    sonavell::test::ScratchDir dir;
    ViewController host;
    ImagePickerController* picker = nullptr;
    QList<QImage> picked;
    int cancels = 0;
};

TEST_F(ImagePickerTest, ListsThePicturesOfTheFolderAndItsSubfoldersInNameOrder)
{
    write("b.png", {20, 10});
    write("A.jpg", {10, 20});
    write("deeper/inside/c.bmp", {8, 8});
    write("d.unknownsuffix", {8, 8}, "PNG");
    QFile fake(folder() + "/e.png");
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a picture");
    fake.close();
    // A link back to the folder itself is not followed.
    ASSERT_TRUE(QFile::link(folder(), folder() + "/loop"));

    EXPECT_EQ(open(), QStringList({"A.jpg", "b.png", "deeper/inside/c.bmp"}));
    EXPECT_FALSE(picker->noteLabel()->isVisible());
    EXPECT_EQ(picker->grid()->iconSize(), QSize(75, 75));
}

TEST_F(ImagePickerTest, AnEmptyOrMissingFolderSaysSo)
{
    EXPECT_TRUE(open().isEmpty());
    EXPECT_TRUE(picker->noteLabel()->text().startsWith("There are no pictures in"));
    host.dismissModalViewControllerAnimated(false);
    picker->setFolder(folder() + "/gone");
    EXPECT_TRUE(open().isEmpty());
    EXPECT_TRUE(picker->noteLabel()->text().contains("does not exist"));
}

TEST_F(ImagePickerTest, APictureIsPreviewedBeforeItIsTaken)
{
    write("one.png", {64, 48});
    open();
    picker->setAllowsImageEditing(true);
    picker->choosePicture(0);
    ASSERT_TRUE(picker->isPreviewing());
    EXPECT_FALSE(picker->previewLabel()->pixmap().isNull());
    EXPECT_TRUE(picked.isEmpty());
    picker->useButton()->click();
    ASSERT_EQ(picked.size(), 1);
    EXPECT_EQ(picked[0].size(), QSize(64, 48));
    EXPECT_FALSE(picker->isPreviewing());

    // Without editing the picture is taken at once; Cancel reports a cancel.
    picker->setAllowsImageEditing(false);
    picker->choosePicture(0);
    EXPECT_EQ(picked.size(), 2);
    picker->cancelButton()->click();
    EXPECT_EQ(cancels, 1);
}

TEST_F(ImagePickerTest, HugePicturesAreReadScaledDownAndUnreadableOnesAsNull)
{
    write("wide.png", {6000, 30});
    EXPECT_EQ(ImagePickerController::readPicture(folder() + "/wide.png").size(), QSize(4096, 20));
    EXPECT_TRUE(ImagePickerController::readPicture(folder() + "/none.png").isNull());
}

} // namespace
