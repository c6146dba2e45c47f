// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/SettingsCell.h"

#include "platform/ui/SwitchControl.h"

#include <QFontMetrics>
#include <QLabel>

namespace {
constexpr int kTitlePixelSize = 15;
constexpr int kMinimumTitlePixelSize = 11;
} // namespace

SettingsCell::SettingsCell(const QString& reuseIdentifier, const QString& title, QWidget* control,
                           QWidget* parent)
    : TableViewCell(reuseIdentifier, parent)
    , m_control(control)
{
    setText(title);
    setSelectionStyle(SelectionStyle::None);
    QFont f = textLabel()->font();
    f.setPixelSize(kTitlePixelSize);
    textLabel()->setFont(f);
    m_control->setParent(this);
    m_control->show();
    // The row's title names its control for screen readers (a switch, a field, a choice).
    if (m_control->accessibleName().isEmpty())
        m_control->setAccessibleName(title);
}

void SettingsCell::layoutSubviews()
{
    const QRect content = contentView()->geometry();
    const int margin = 10;
    if (qobject_cast<SwitchControl*>(m_control)) {
        const QSize size = m_control->sizeHint();
        m_control->setGeometry(content.right() - margin - size.width() + 1,
                               content.top() + (content.height() - size.height()) / 2, size.width(),
                               size.height());
        textLabel()->setGeometry(
            margin, 0, std::max(0, m_control->x() - content.left() - 2 * margin), content.height());
        fitTitle();
        return;
    }
    textLabel()->setGeometry(margin, 0, kTitleWidth - margin, content.height());
    fitTitle();
    const int left = content.left() + kTitleWidth;
    m_control->setGeometry(left, content.top(), std::max(0, content.right() - margin - left + 1),
                           content.height());
}

void SettingsCell::fitTitle()
{
    // A long title gets a smaller font rather than losing its end, down to a size still read
    // easily.
    QFont f = textLabel()->font();
    int size = kTitlePixelSize;
    f.setPixelSize(size);
    while (size > kMinimumTitlePixelSize &&
           QFontMetrics(f).horizontalAdvance(text()) > textLabel()->width()) {
        f.setPixelSize(--size);
    }
    textLabel()->setFont(f);
}
