// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A thin horizontal bar that shows a fraction from 0.0 to 1.0.
class ProgressView : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressView(QWidget* parent = nullptr);

    float progress() const { return m_progress; }
    // Values outside 0.0 to 1.0 are pinned to the nearer end.
    void setProgress(float progress);

    QSize sizeHint() const override { return {150, 9}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_progress = 0.0f;
};
