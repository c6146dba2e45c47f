// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SharingTestSupport.h"

#include "core/Recording.h"
#include "platform/net/NetService.h"
#include "platform/ui/FitLabel.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PickerView.h"
#include "platform/ui/ProgressView.h"
#include "platform/ui/ScaledWindow.h"
#include "sharing/ExportController.h"
#include "sharing/RELO_BrowserController.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QUuid>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace sonavell::test {

// A push screen over a private documents folder whose current recording the test chooses, with
// every screen code it shows recorded in order.
class PushScreenFixture
{
public:
    explicit PushScreenFixture(RELO_BrowserController::Environment env = {})
    {
        env.documentsPath = documents.path();
        env.currentRecording = [this] { return recording; };
        screen = std::make_unique<RELO_BrowserController>(std::move(env));
        QObject::connect(screen.get(), &RELO_BrowserController::screenCodeShown,
                         [this](int code) { codes.push_back(code); });
    }

    // A recording of that name whose file holds `bytes`; it becomes the current one.
    std::shared_ptr<Recording> addRecording(const QString& name, const QByteArray& bytes)
    {
        auto r = std::make_shared<Recording>(name, QUuid::createUuid().toString(),
                                             QStringLiteral("Ideas"));
        r->setFilename(QStringLiteral("REC%1.wav").arg(++m_files));
        documents.write(r->filename(), bytes);
        recording = r;
        return r;
    }

    // Shows the screen and waits until the named receiver is listed and resolved; selects it.
    bool appearAndSelect(const QString& receiverName, int timeoutMs = 20000)
    {
        screen->viewWillAppear(false);
        return select(receiverName, timeoutMs);
    }

    bool select(const QString& receiverName, int timeoutMs = 20000)
    {
        int row = -1;
        const bool found = waitFor(
            [&] {
                const auto& list = screen->services();
                for (size_t i = 0; i < list.size(); ++i)
                    if (list[i]->name() == receiverName && !list[i]->addresses().empty())
                        row = static_cast<int>(i);
                return row >= 0 && screen->receiverPicker->titleForRow(row, 0) == receiverName;
            },
            timeoutMs);
        if (found)
            screen->receiverPicker->selectRow(row, 0, false);
        return found;
    }

    // Presses Send and waits until the push has ended (idle, failed or sent shown).
    bool sendAndWait(int timeoutMs = 20000)
    {
        codes.clear();
        screen->sendButton->click();
        return waitFor(
            [&] {
                return !screen->isPushRunning() && !codes.empty() &&
                       (codes.back() == RELO_BrowserController::kIdle ||
                        codes.back() == RELO_BrowserController::kFailed ||
                        codes.back() == RELO_BrowserController::kSent);
            },
            timeoutMs);
    }

    // The codes with the progress updates (5) left out.
    std::vector<int> milestones() const
    {
        std::vector<int> result;
        for (int code : codes)
            if (code != RELO_BrowserController::kProgress)
                result.push_back(code);
        return result;
    }

    ScratchDir documents;
    std::shared_ptr<Recording> recording;
    std::unique_ptr<RELO_BrowserController> screen;
    std::vector<int> codes;

private:
    int m_files = 0;
};

// The push screen as the application shows it: presented by the export screen inside the
// navigation controller of the scaled application window (320 x 480, one pixel per point), shown
// on the platform. frame() is what the window draws at that moment; the checks below read a
// control's place in it, never comparing pixels exactly.
class PushWindow
{
public:
    explicit PushWindow(RELO_BrowserController* screen)
        : m_screen(screen)
    {
        window.resize(320, 480);
        QWidget* content = window.contentView();
        navigation = new NavigationController(content);
        auto* column = new QVBoxLayout(content);
        column->setContentsMargins(0, 0, 0, 0);
        column->addWidget(navigation);
        exportScreen = new ExportController(nullptr, content);
        navigation->pushViewController(exportScreen, false);
        exportScreen->setReloBrowserController(screen);
        window.show();
        exportScreen->postRELO_Browser();
    }
    ~PushWindow()
    {
        exportScreen->puntRELO_Browser();
        // The screen belongs to the fixture, not to the window it was shown in.
        m_screen->setParent(nullptr);
    }

    QImage frame()
    {
        QCoreApplication::processEvents();
        return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    // Where a control lies in frame(); empty when it has no size.
    QRect boxOf(const QWidget* widget) const
    {
        const QWidget* content = window.contentView();
        const QPointF topLeft = window.mapFromContent(widget->mapTo(content, QPointF(0, 0)));
        const QPointF bottomRight = window.mapFromContent(
            widget->mapTo(content, QPointF(widget->width(), widget->height())));
        return QRectF(topLeft, bottomRight)
            .toAlignedRect()
            .intersected(QRect(QPoint(0, 0), window.size()));
    }

    // A label's text is drawn: the label is shown and, within its box in the frame, enough
    // pixels stand out from the screen's background (a text that has no box, is drawn in the
    // background's colour or is painted over by a solid control fails).
    ::testing::AssertionResult showsText(const QImage& frame, const QLabel* label) const
    {
        const QRect box = boxOf(label);
        const Ink ink = inkIn(frame, box);
        const std::string what =
            "\"" + label->text().toStdString() + "\" (" + (label->isHidden() ? "hidden" : "shown") +
            ", box " + std::to_string(box.width()) + "x" + std::to_string(box.height()) + ")";
        // A hidden label keeps its last box, where other controls may be drawn now.
        if (!label->isVisible())
            return ::testing::AssertionFailure() << what << " is not shown";
        if (box.width() < 8 || box.height() < 6)
            return ::testing::AssertionFailure() << what << " has no room on screen";
        if (ink.pixels < kLeastTextPixels)
            return ::testing::AssertionFailure()
                   << what << ": " << ink.pixels << " pixels stand out from the background";
        if (ink.pixels > ink.box / 2)
            return ::testing::AssertionFailure() << what << " is covered: " << ink.pixels << " of "
                                                 << ink.box << " pixels are not the background";
        return ::testing::AssertionSuccess();
    }

    // The label's text comes up within `timeoutMs` and then shows in every frame, a tenth of a
    // second apart, for `ms`.
    ::testing::AssertionResult comesUpAndStays(const QLabel* label, int ms, int timeoutMs = 10000)
    {
        if (!waitFor([&] { return bool(showsText(frame(), label)); }, timeoutMs))
            return ::testing::AssertionFailure()
                   << showsText(frame(), label).message() << ", and it never came up";
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < ms) {
            const ::testing::AssertionResult drawn = showsText(frame(), label);
            if (!drawn)
                return ::testing::AssertionFailure()
                       << drawn.message() << " after " << shown.elapsed() << " ms";
            pumpEvents(100);
        }
        return ::testing::AssertionSuccess();
    }

    // The bar is drawn filled to its value: along its middle row, the share of columns that
    // stand out from the background (the fill; the track is nearly the background) is the
    // bar's value within a few pixels.
    ::testing::AssertionResult showsProgress(const QImage& frame, const ProgressView* bar) const
    {
        const QRect box = boxOf(bar);
        if (!bar->isVisible())
            return ::testing::AssertionFailure() << "the bar is not shown";
        if (box.width() < 20 || box.height() < 3)
            return ::testing::AssertionFailure() << "the bar has no room on screen";
        const int y = box.center().y();
        int filled = 0;
        for (int x = box.left(); x <= box.right(); ++x)
            filled += standsOut(frame.pixel(x, y));
        const double share = double(filled) / box.width();
        const double value = bar->progress();
        if (value <= 0.0 || std::abs(share - value) > 0.05)
            return ::testing::AssertionFailure()
                   << "the bar (" << (bar->isHidden() ? "hidden" : "shown") << ", value " << value
                   << ") is drawn " << share << " full";
        return ::testing::AssertionSuccess();
    }

    ScaledWindow window;
    NavigationController* navigation = nullptr;
    ExportController* exportScreen = nullptr;

private:
    // A pixel stands out when one of its channels is this far from the background's.
    static constexpr int kInkLevels = 60;
    // Even a short notice draws far more pixels than this.
    static constexpr int kLeastTextPixels = 30;

    struct Ink
    {
        qint64 pixels = 0;
        qint64 box = 0;
    };

    bool standsOut(QRgb pixel) const
    {
        const QColor background = m_screen->palette().color(QPalette::Window);
        return std::abs(qRed(pixel) - background.red()) > kInkLevels ||
               std::abs(qGreen(pixel) - background.green()) > kInkLevels ||
               std::abs(qBlue(pixel) - background.blue()) > kInkLevels;
    }

    Ink inkIn(const QImage& frame, const QRect& box) const
    {
        Ink ink;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                ++ink.box;
                ink.pixels += standsOut(frame.pixel(x, y));
            }
        return ink;
    }

    RELO_BrowserController* m_screen;
};

// A stream pair that records the size of every write it is offered and, when asked, takes at
// most `limit` bytes of each (as a congested connection would).
class RecordingStreams : public StreamPair
{
public:
    RecordingStreams(const Endpoint& endpoint, qint64 limit)
        : StreamPair(endpoint)
        , m_limit(limit)
    {
    }

    struct Log
    {
        std::mutex mutex;
        std::vector<qint64> offered;
        std::vector<qint64> taken;
    };
    std::shared_ptr<Log> log = std::make_shared<Log>();

protected:
    qint64 sendSome(int fd, const char* data, qint64 length) override
    {
        const qint64 n =
            StreamPair::sendSome(fd, data, m_limit > 0 ? std::min(length, m_limit) : length);
        std::lock_guard lock(log->mutex);
        log->offered.push_back(length);
        log->taken.push_back(n);
        return n;
    }

private:
    qint64 m_limit;
};

} // namespace sonavell::test
