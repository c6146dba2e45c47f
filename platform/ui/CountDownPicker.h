// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

// A count-down duration picker: two drums, hours (0 to 23) and minutes (0 to 59). The user
// turns a drum by dragging it or with the scroll wheel, or taps a row above or below the
// selection to move there. The duration is never below one minute: setting both drums to 0
// moves the minutes to 1. valueChanged is sent when a user's turn settles on a new duration;
// setting the duration from code sends nothing.
class CountDownPicker : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kMinimumDuration = 60.0;
    static constexpr double kMaximumDuration = 23 * 3600.0 + 59 * 60.0;

    explicit CountDownPicker(QWidget* parent = nullptr);

    // Seconds, a whole number of minutes.
    double countDownDuration() const;
    // Rounded down to whole minutes and kept within one minute to 23 h 59 min; a value that is
    // not a number counts as the minimum.
    void setCountDownDuration(double seconds);
    // Sets the duration as the user's turn of the drums would (the keyboard and assistive
    // technology set it so): valueChanged is sent when the duration changed.
    void setCountDownDurationFromUser(double seconds);

    int hours() const { return m_selected[0]; }
    int minutes() const { return m_selected[1]; }

    // The height of one row, and the x where the minutes drum begins.
    static constexpr int kRowHeight = 32;
    int minutesColumnLeft() const { return width() / 2; }

    QSize sizeHint() const override { return {265, 200}; }

signals:
    void valueChanged(CountDownPicker* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int columnAt(qreal x) const { return x < minutesColumnLeft() ? 0 : 1; }
    int rowCount(int column) const { return column == 0 ? 24 : 60; }
    // Moves a drum to a row chosen by the user and reports a new duration.
    void select(int column, int row);

    std::array<int, 2> m_selected{0, 1};
    int m_dragColumn = -1;
    qreal m_dragStartY = 0.0;
    qreal m_dragOffset = 0.0;
    bool m_dragMoved = false;
};
