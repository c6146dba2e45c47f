// SPDX-License-Identifier: GPL-3.0-or-later
// The lists under a dark desktop theme: the category list, a recording list and the settings
// screen paint white rows, so every text on them must stay dark whatever colours the desktop
// hands the application, at start and when the theme changes while the program runs.
#include "BrowserTestSupport.h"

#include "browser/SettingsViewController.h"
#include "support/DarkPalette.h"

#include <QApplication>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

double luminance(QRgb pixel)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(pixel)) + 0.7152 * channel(qGreen(pixel)) +
           0.0722 * channel(qBlue(pixel));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// How a text reads on what is painted behind it, as drawn: the contrast ratio between the
// commonest colour in its box (the background) and the pixel that stands out most (the text's
// own colour, where a stroke is drawn whole). 21 is black on white; below 3 is hard to read.
double textContrast(const QImage& drawn, const QRect& box)
{
    QHash<QRgb, int> counts;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            ++counts[drawn.pixel(x, y) | 0xff000000u];
    QRgb background = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(background, it.key()));
    return best;
}

// Every text shown in a table's rows (labels and fields, as drawn on the table) whose contrast is
// below 3 (2 for a field's hint), by its text.
QStringList unreadableTexts(TableView* table)
{
    QCoreApplication::processEvents();
    const QImage drawn = table->grab().toImage();
    QStringList unreadable;
    for (QWidget* widget : table->viewport()->findChildren<QWidget*>()) {
        QString text;
        double least = 3.0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            text = field->text();
            if (text.isEmpty()) {
                // A hint is drawn in the field's colour at half strength, on purpose lighter
                // than a value, so it is held to a lower bar.
                text = field->placeholderText();
                least = 2.0;
            }
        }
        const QRect box =
            QRect(widget->mapTo(table, QPoint(0, 0)), widget->size()).intersected(drawn.rect());
        if (text.isEmpty() || !widget->isVisible() || box.width() < 4 || box.height() < 4)
            continue;
        const double ratio = textContrast(drawn, box);
        if (ratio < least)
            unreadable << QStringLiteral("%1 (%2:1)").arg(text, QString::number(ratio, 'f', 2));
    }
    return unreadable;
}

class DarkTheme : public BrowserFixture
{
protected:
    void SetUp() override
    {
        m_light = QApplication::palette();
        QApplication::setPalette(sonavell::test::darkDesktopPalette());
        BrowserFixture::SetUp();
        add("Chorus idea in D", "Music", 95);
        add("Band practice", "Music", 3725);
        settingsScreen = new SettingsViewController(app.get(), navigation.get());
        settingsScreen->hide();
        level1->setSettingsViewController(settingsScreen);
        navigation->window()->show();
    }
    void TearDown() override
    {
        BrowserFixture::TearDown();
        QApplication::setPalette(m_light);
    }

    // The texts of each list that do not read, by list.
    QStringList unreadableOnEveryList()
    {
        QStringList found;
        auto check = [&found](const QString& list, TableView* table) {
            for (const QString& text : unreadableTexts(table))
                found << list + QStringLiteral(": ") + text;
        };
        navigation->popToViewController(level1, false);
        check(QStringLiteral("categories"), level1->myTableView());
        openCategory("Music");
        check(QStringLiteral("recordings"), level2->myTableView());
        navigation->popToViewController(level1, false);
        level1->openSettings(false);
        check(QStringLiteral("settings"), settingsScreen->tableView());
        navigation->popToViewController(level1, false);
        return found;
    }

    SettingsViewController* settingsScreen = nullptr;
    QPalette m_light;
};

} // namespace

TEST_F(DarkTheme, EveryListReadsDarkOnWhiteUnderADarkTheme)
{
    EXPECT_EQ(unreadableOnEveryList(), QStringList());

    // The theme changes while the program runs: light, and dark again.
    QApplication::setPalette(m_light);
    EXPECT_EQ(unreadableOnEveryList(), QStringList());
    QApplication::setPalette(sonavell::test::darkDesktopPalette());
    EXPECT_EQ(unreadableOnEveryList(), QStringList());
}

TEST_F(DarkTheme, TheMeasureSeesALightTextOnTheWhiteRows)
{
    // The check above must fail for the fault it guards against: a row's text in the theme's
    // light colour.
    openCategory("Music");
    TableView* table = level2->myTableView();
    QCoreApplication::processEvents();
    auto labels = table->viewport()->findChildren<QLabel*>();
    auto named = std::find_if(labels.begin(), labels.end(),
                              [](QLabel* l) { return l->text() == "Band practice"; });
    ASSERT_NE(named, labels.end());
    (*named)->setStyleSheet(QStringLiteral("color: #eeeeec"));
    const QStringList unreadable = unreadableTexts(table);
    ASSERT_EQ(unreadable.size(), 1) << unreadable.join(", ").toStdString();
    EXPECT_TRUE(unreadable.front().startsWith("Band practice (1."))
        << unreadable.front().toStdString();
}
