// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

// A one-line label whose text always fits its frame: when the text at the label's font is wider
// than the frame, it is drawn at the largest smaller size that fits, down to a
// minimum size; a text that does not fit even then is cut with an ellipsis at the end. The frame
// never changes, so a longer read-out never pushes other views about.
class FitLabel : public QLabel
{
    Q_OBJECT
public:
    explicit FitLabel(QWidget* parent = nullptr);
    explicit FitLabel(const QString& text, QWidget* parent = nullptr);

    // The smallest size the font shrinks to, in pixels (points of the application view).
    int minimumFontSize() const { return m_minimumFontSize; }
    void setMinimumFontSize(int pixels);

    // The font the current text is drawn with in the current frame.
    QFont fittedFont() const;
    // Whether the current text, at fittedFont(), fits the frame whole (no ellipsis).
    bool textFits() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The font of the label at `pixels` size, whatever unit its own size was given in.
    QFont fontAtPixelSize(qreal pixels) const;
    qreal basePixelSize() const;

    int m_minimumFontSize = 8;
};
