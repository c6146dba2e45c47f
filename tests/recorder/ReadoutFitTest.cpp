// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderTestSupport.h"

#include "platform/ui/FitLabel.h"

#include <QLabel>

namespace {

using ReadoutFitTest = RecorderFixture;

// Every read-out holds the longest text it can be given whole, in its own frame, at a size no
// smaller than its minimum.
TEST_F(ReadoutFitTest, TheLongestReadoutTextsFitTheirFrames)
{
    showScreen();
    struct Readout
    {
        QLabel* label;
        QStringList longest;
    };
    const Readout readouts[] = {
        {avc->statusSign(), {"+20.0dB", "-0:59:59.999", "9:59:59.999", "99h 59m 59s", "-3"}},
        {avc->label1(), {"of", "Volume Boost"}},
        {avc->label2(), {"-0:59:59.999", "9:59:59.999", "99h 59m 59s"}},
    };
    for (const Readout& readout : readouts) {
        auto* label = qobject_cast<FitLabel*>(readout.label);
        ASSERT_NE(label, nullptr);
        const QRect frame = label->geometry();
        for (const QString& text : readout.longest) {
            label->setText(text);
            QCoreApplication::processEvents();
            EXPECT_TRUE(label->textFits()) << qPrintable(text);
            EXPECT_GE(label->fittedFont().pixelSize(), label->minimumFontSize());
            EXPECT_EQ(label->geometry(), frame);
            // The drawn text lies inside the frame: nothing at the frame's left and right edge.
            QImage drawn(label->size(), QImage::Format_ARGB32);
            drawn.fill(Qt::transparent);
            label->render(&drawn, {}, {}, QWidget::DrawChildren);
            for (int y = 0; y < drawn.height(); ++y) {
                EXPECT_LT(qAlpha(drawn.pixel(0, y)), 100) << qPrintable(text);
                EXPECT_LT(qAlpha(drawn.pixel(drawn.width() - 1, y)), 100) << qPrintable(text);
            }
        }
    }
}

TEST_F(ReadoutFitTest, TheFullVolumeBoostAndAnHourLongClockShowWhole)
{
    showScreen();
    // The volume slider at its top: +20.0dB, through the screen's own path.
    avc->handleSliderValueChanged(10.0f);
    EXPECT_EQ(avc->statusSign()->text(), "+20.0dB");
    EXPECT_TRUE(qobject_cast<FitLabel*>(avc->statusSign())->textFits());

    // A position an hour in, in the clock form.
    avc->setTimeUnits(1);
    avc->locatorValueChanged(3599.5f);
    EXPECT_TRUE(avc->statusSign()->text().startsWith("0:59:59"));
    EXPECT_TRUE(qobject_cast<FitLabel*>(avc->statusSign())->textFits());
}

} // namespace
