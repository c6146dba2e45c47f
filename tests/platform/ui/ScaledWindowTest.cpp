// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/ScaledWindow.h"
#include "platform/ui/FitLabel.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(ScaledWindowTest, TheViewScalesUniformlyAndGrowsInPointsOnlyInTallWindows)
{
    ScaledWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    struct Case
    {
        QSize window;
        qreal scale;
        QSize points;
    };
    const Case cases[] = {
        {{320, 480}, 1.0, {320, 480}},          // the phone's own size
        {{360, 720}, 1.125, {320, 640}},        // a tall phone: more rows
        {{720, 1440}, 2.25, {320, 640}},        // the same at double density
        {{1280, 800}, 800.0 / 480, {320, 480}}, // a landscape desktop: bands at the sides
        {{640, 960}, 2.0, {320, 480}},
    };
    for (const Case& c : cases) {
        window.resize(c.window);
        QCoreApplication::processEvents();
        EXPECT_NEAR(window.scale(), c.scale, 1e-6) << c.window.width();
        EXPECT_EQ(window.contentView()->size(), c.points) << c.window.width();
        // The view's corners land inside the window, and it fills one dimension exactly.
        const QPointF topLeft = window.mapFromContent({0, 0});
        const QPointF bottomRight =
            window.mapFromContent(QPointF(c.points.width(), c.points.height()));
        EXPECT_GE(topLeft.x(), -0.5);
        EXPECT_GE(topLeft.y(), -0.5);
        EXPECT_LE(bottomRight.x(), c.window.width() + 0.5);
        EXPECT_LE(bottomRight.y(), c.window.height() + 0.5);
        EXPECT_TRUE(std::abs(bottomRight.x() - topLeft.x() - c.window.width()) < 1.5 ||
                    std::abs(bottomRight.y() - topLeft.y() - c.window.height()) < 1.5);
    }
}

TEST(ScaledWindowTest, TheWindowOpensAtTwoThirdsOfALandscapeScreenAndFillsAPortraitOne)
{
    EXPECT_EQ(ScaledWindow::preferredSize(nullptr, {320, 480}), QSize(320, 480));
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QSize preferred = ScaledWindow::preferredSize(screen, {320, 480});
    const QRect available = screen->availableGeometry();
    if (available.height() > available.width()) {
        EXPECT_EQ(preferred, available.size());
    } else {
        EXPECT_EQ(preferred.height(), std::max(480, available.height() * 2 / 3));
        EXPECT_NEAR(preferred.width() * 1.5, preferred.height(), 1.5);
    }
}

// Sum of absolute grey differences between two images of one size.
qint64 difference(const QImage& a, const QImage& b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum;
}

TEST(ScaledWindowTest, TextIsDrawnAtTheScaleNotStretched)
{
    ScaledWindow window;
    window.contentView()->setAutoFillBackground(true);
    QPalette white = window.contentView()->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    window.contentView()->setPalette(white);
    auto* label = new FitLabel(QStringLiteral("0:59:59.999"), window.contentView());
    label->setGeometry(20, 20, 200, 40);
    QFont font = label->font();
    font.setPixelSize(20);
    label->setFont(font);
    label->show();
    window.resize(640, 960); // twice the points
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage shown =
        window.grab().toImage().copy(40, 40, 400, 80).convertToFormat(QImage::Format_RGB32);

    // The label drawn straight at twice the size, and drawn at its size then stretched.
    QImage sharp(400, 80, QImage::Format_RGB32);
    sharp.fill(Qt::white);
    {
        QPainter painter(&sharp);
        painter.scale(2, 2);
        label->render(&painter, {}, {}, QWidget::DrawChildren);
    }
    QImage small(200, 40, QImage::Format_RGB32);
    small.fill(Qt::white);
    label->render(&small, {}, {}, QWidget::DrawChildren);
    const QImage stretched = small.scaled(400, 80, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(difference(shown, sharp) * 3, difference(shown, stretched));
}

// Counts the paint events a widget gets.
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// What the window shows (its backing store), as RGB.
QImage shown(QWidget& window)
{
    return window.screen()
        ->grabWindow(window.winId())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

TEST(ScaledWindowTest, PartsFarApartAreDrawnAloneAndTheWindowShowsWhatDrawingItWholeShows)
{
    ScaledWindow window;
    window.resize(640, 960);
    // A screen that fills its background, with a picture at each side and a label between.
    auto* screen = new QWidget(window.contentView());
    screen->setGeometry(0, 40, 320, 400);
    screen->setAutoFillBackground(true);
    QPalette dark = screen->palette();
    dark.setColor(QPalette::Window, QColor(24, 24, 26));
    dark.setColor(QPalette::WindowText, Qt::white);
    screen->setPalette(dark);
    struct Picture : QWidget
    {
        using QWidget::QWidget;
        QColor colour = Qt::red;
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            painter.fillRect(rect().adjusted(2, 2, -2, -2), colour);
        }
    };
    auto* left = new Picture(screen);
    left->setGeometry(10, 100, 30, 30);
    auto* right = new Picture(screen);
    right->setGeometry(280, 100, 30, 30);
    auto* middle = new FitLabel(QStringLiteral("12s"), screen);
    middle->setGeometry(100, 90, 120, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);

    PaintCounter between;
    middle->installEventFilter(&between);
    left->colour = Qt::green;
    right->colour = Qt::blue;
    QRegion sides(QRect(10, 100, 30, 30));
    sides += QRect(280, 100, 30, 30);
    ScaledWindow::updateParts(screen, sides);
    QTRY_VERIFY(shown(window) == window.grab().toImage().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(between.paints, 0) << "the label between the two parts is not drawn again";

    // An ordinary update inside the screen, and one of the whole window, show the same too.
    middle->setText(QStringLiteral("13s"));
    QTRY_VERIFY(shown(window) == window.grab().toImage().convertToFormat(QImage::Format_RGB32));
    window.viewport()->update();
    QTRY_VERIFY(shown(window) == window.grab().toImage().convertToFormat(QImage::Format_RGB32));

    // Outside a scaled window the parts are an ordinary update.
    QWidget plain;
    Picture alone(&plain);
    alone.setGeometry(0, 0, 40, 40);
    plain.resize(100, 100);
    plain.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plain));
    PaintCounter drawn;
    alone.installEventFilter(&drawn);
    ScaledWindow::updateParts(&alone, QRegion(0, 0, 10, 10));
    QTRY_VERIFY(drawn.paints > 0);
}

TEST(FitLabelTest, ATextShrinksToFitItsFrameDownToTheMinimumThenIsCut)
{
    QWidget parent;
    FitLabel label(&parent);
    label.setGeometry(0, 0, 100, 30);
    QFont font = label.font();
    font.setPixelSize(24);
    label.setFont(font);
    label.setMinimumFontSize(9);

    label.setText("12s");
    EXPECT_EQ(label.fittedFont().pixelSize(), 24) << "a short text keeps the label's size";
    EXPECT_TRUE(label.textFits());

    label.setText("-0:59:59.999");
    EXPECT_LT(label.fittedFont().pixelSize(), 24);
    EXPECT_GE(label.fittedFont().pixelSize(), 9);
    EXPECT_TRUE(label.textFits());
    EXPECT_LE(QFontMetricsF(label.fittedFont()).horizontalAdvance(label.text()), 100.0);
    EXPECT_EQ(label.geometry(), QRect(0, 0, 100, 30)) << "the frame never changes";

    label.setText(QString(200, QLatin1Char('W')));
    EXPECT_EQ(label.fittedFont().pixelSize(), 9);
    EXPECT_FALSE(label.textFits()) << "past the minimum the text is cut";

    // Sizes given in points shrink the same way.
    QFont points = label.font();
    points.setPointSize(40);
    label.setFont(points);
    label.setText("+20.0dB");
    EXPECT_TRUE(label.textFits());
}

} // namespace
