// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BrowserTestSupport.h"
#include "browser/ItemDetailsController.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ImagePickerController.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPushButton>
#include <QSettings>

// The details screen wired as the program wires it, over the browser fixture, with a pictures
// folder of its own (the setting "pictures_path").
class DetailsFixture : public BrowserFixture
{
protected:
    void SetUp() override
    {
        BrowserFixture::SetUp();
        ActionSheet::clearHistory();
        details = new ItemDetailsController(app.get(), navigation.get());
        details->hide();
        app->itemDetailsController = details;
        level2->setItemDetailsController(details);
        QDir().mkpath(pictures());
        settings->setValue(QLatin1String(kPicturesPathKey), pictures());
    }

    QString pictures() const { return dir.file(QStringLiteral("Pictures")); }

    // Writes a picture of the given size and colour into the pictures folder.
    QString picture(const QString& name, QSize size, QColor color = QColor(40, 120, 200)) const
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        const QString path = QDir(pictures()).filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(image.save(path));
        return path;
    }

    // Opens the details of a row of a category's list, as its detail button does.
    void openDetails(const QString& category, int row)
    {
        navigation->popToViewController(level1, false);
        openCategory(category);
        level2->tableViewAccessoryButtonTappedForRowWithIndexPath(level2->myTableView(), row);
        ASSERT_EQ(navigation->topViewController(), details);
    }

    // Opens the photo picker through the photo-source sheet, waits for its thumbnails.
    ImagePickerController* openLibrary()
    {
        details->postPhotoActionSheet();
        ActionSheet* sheet = details->photoActionSheet_2choice();
        EXPECT_TRUE(sheet && sheet->isVisible());
        sheet->dismissWithClickedButtonIndex(1); // "From Library"
        ImagePickerController* picker = details->photoPicker();
        while (picker->isLoading())
            QCoreApplication::processEvents();
        return picker;
    }

    // Picks the picture at `index` of the picker and confirms it in the preview.
    void pick(int index)
    {
        ImagePickerController* picker = openLibrary();
        ASSERT_EQ(details->modalViewController(), picker);
        picker->choosePicture(index);
        ASSERT_TRUE(picker->isPreviewing());
        picker->useButton()->click();
    }

    ItemDetailsController* details = nullptr;
};
