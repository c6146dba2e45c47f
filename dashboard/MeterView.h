// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <vector>

// A meter that shows a fraction between 0 and 1 by revealing a lit picture from the bottom up
// over an unlit picture of the same size: the bottom `level` of the square shows the lit
// picture, the rest the unlit one, split by a straight horizontal edge (any arc or segment
// shape comes from the pictures).
//
// Two looks, chosen by the frame's height: exactly 293 points gives the level meter (which
// sweeps up to full and back to empty once when created, to show it is alive); any other
// height gives the 173-point time meter, which does not sweep.
class MeterView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kLevelMeterSize = 293;
    static constexpr int kTimeMeterSize = 173;
    static constexpr int kSweepIntervalMs = 30;

    explicit MeterView(const QRect& frame, QWidget* parent = nullptr);

    // Shows a level: 0 empty, 1 full. Below 0 shows empty and ends the start-up sweep; a level
    // that is not a finite number shows empty and counts as 0.
    void updateMeters(float level);

    // The level last shown (or set). Setting it changes nothing on the screen until the next
    // updateMeters; the sweep carries on from it.
    float currentLevel() const { return m_currentLevel; }
    void setCurrentLevel(float level) { m_currentLevel = level; }
    float increment() const { return m_increment; }
    int meterSize() const { return m_meterSize; }
    bool isTimeMeter() const { return m_meterSize == kTimeMeterSize; }

    // The start-up sweep: one step every 30 ms until the level falls below 0.
    void startDemoTimer();
    void stopDemoTimer();
    bool isSweeping() const { return m_meterTimer != nullptr; }
    // One step of the sweep; reverses at the ends of the range.
    void demoTimer();

    // Where the lit picture begins, in points from the top: meterSize when empty, 0 when full.
    qreal litTop() const;

    const QPixmap& lit() const { return m_lit; }
    const QPixmap& unlit() const { return m_unlit; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setupMeterView(bool timeLook);
    // The columns of one row of points where the lit picture shows anything, left of the
    // middle and right of it: first and last, or -1 when there are none.
    struct RowSpans
    {
        int leftBegin = -1;
        int leftEnd = -1;
        int rightBegin = -1;
        int rightEnd = -1;
        void add(bool left, int column)
        {
            int& begin = left ? leftBegin : rightBegin;
            int& end = left ? leftEnd : rightEnd;
            begin = begin < 0 ? column : std::min(begin, column);
            end = std::max(end, column);
        }
    };
    // Per row of the meter, where the lit picture may change what is drawn (widened for the
    // smoothing of a scaled picture); worked out from the picture on first use, empty when
    // there is no picture.
    const std::vector<RowSpans>& litSpans();
    // What changes when the edge moves within rows top to bottom: the band, narrowed to the
    // columns where the lit picture shows anything.
    QRegion bandRegion(int top, int bottom);
    // Whether the edge of the lit picture at oldTop and at newTop (in points) falls on the same
    // row of device pixels as the last paint drew it: then the picture does not change.
    bool sameDeviceRow(qreal oldTop, qreal newTop) const;

    QPixmap m_lit;
    QPixmap m_unlit;
    float m_currentLevel = 0.0f;
    float m_increment = 0.0f;
    // The fraction on the screen, 0 to 1; it changes only through updateMeters.
    float m_shownFraction = 0.0f;
    int m_meterSize = kTimeMeterSize;
    QPointer<QTimer> m_meterTimer;
    // Points to device pixels, as the last paint found it.
    QTransform m_deviceTransform;
    bool m_paintedOnce = false;
    std::vector<RowSpans> m_litSpans;
    bool m_litSpansKnown = false;
};
