// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class NavigationBarButton;
class QLabel;

// The strip under both list screens' tables: the count line, the storage line and the button
// that goes to the recorder screen.
class LibraryFooter : public QWidget
{
    Q_OBJECT
public:
    explicit LibraryFooter(QWidget* parent = nullptr);

    QLabel* countLabel() const { return m_countLabel; }
    QLabel* freeLabel() const { return m_freeLabel; }
    NavigationBarButton* recordButton() const { return m_recordButton; }

    static constexpr int kHeight = 56;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_countLabel = nullptr;
    QLabel* m_freeLabel = nullptr;
    NavigationBarButton* m_recordButton = nullptr;
};
