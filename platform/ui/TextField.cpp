// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/TextField.h"

#include <QFontMetrics>
#include <QKeyEvent>

#include <algorithm>

TextField::TextField(QWidget* parent)
    : QLineEdit(parent)
{
    setInputMethodHints(Qt::ImhNoPredictiveText);
    connect(this, &QLineEdit::textChanged, this, [this] { fitFont(); });
    setFontSize(m_fontSize, m_bold);
}

void TextField::setFontSize(int pixelSize, bool bold)
{
    m_fontSize = std::max(1, pixelSize);
    m_bold = bold;
    fitFont();
}

void TextField::setMinimumFontSize(int pixelSize)
{
    m_minimumFontSize = std::max(1, pixelSize);
    fitFont();
}

void TextField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        if (textFieldShouldReturn)
            textFieldShouldReturn(this);
        else
            resignFirstResponder();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TextField::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    fitFont();
}

void TextField::fitFont()
{
    QFont f = font();
    f.setBold(m_bold);
    // The room for text: the field less its frame and a little margin on each side.
    const int room =
        std::max(1, contentsRect().width() - textMargins().left() - textMargins().right() - 8);
    const int smallest = std::min(m_minimumFontSize, m_fontSize);
    int size = m_fontSize;
    for (; size > smallest; --size) {
        f.setPixelSize(size);
        if (QFontMetrics(f).horizontalAdvance(text()) <= room)
            break;
    }
    f.setPixelSize(size);
    if (f != font())
        setFont(f);
}
