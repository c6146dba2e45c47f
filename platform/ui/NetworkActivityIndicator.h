// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QTimer;

// The application's network activity indicator: one switch for the whole application, shown by
// every indicator widget as a small spinning wheel while it is on. Main thread only.
class NetworkActivityIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit NetworkActivityIndicator(QWidget* parent = nullptr);
    ~NetworkActivityIndicator() override;

    static void setNetworkActivityIndicatorVisible(bool visible);
    static bool isNetworkActivityIndicatorVisible();

    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow();

    QTimer* m_spin = nullptr;
    int m_step = 0;
};
