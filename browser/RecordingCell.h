// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/TableViewCell.h"

#include <QImage>

class QLabel;

// A row of the recording list: the photo thumbnail at the left, the name above the place, the
// duration and the date at the right edge. The name and the place take the room the
// right-hand texts leave, so a long date or a narrow row never lets texts run into each other.
class RecordingCell : public TableViewCell
{
    Q_OBJECT
public:
    explicit RecordingCell(const QString& reuseIdentifier, QWidget* parent = nullptr);

    QLabel* photoView() const { return m_photo; }
    QLabel* nameLabel() const { return m_name; }
    QLabel* dateLabel() const { return m_date; }
    QLabel* placeLabel() const { return m_place; }
    QLabel* durationLabel() const { return m_duration; }

    // Sets the four texts and fits the views around them.
    void setTexts(const QString& name, const QString& date, const QString& place,
                  const QString& duration);
    // Shows a thumbnail on black: a portrait one (121 high) scaled to fit with its shape kept,
    // any other stretched to fill. A null image leaves the view empty and clear.
    void setPhoto(const QImage& thumbnail);
    // How the last thumbnail is shown: true when it is stretched to fill the view.
    bool photoFillsView() const { return m_photoFills; }

    static constexpr int kRowWidth = 300;
    static constexpr int kRowHeight = 44;

protected:
    void layoutSubviews() override;

private:
    QLabel* m_photo = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_date = nullptr;
    QLabel* m_place = nullptr;
    QLabel* m_duration = nullptr;
    bool m_photoFills = false;
};
