// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The colours a dark desktop theme (Adwaita-dark) hands to the application: light text on dark
// windows, fields and buttons. Tests and the screenshots set it as the application's palette, as
// the desktop does when the user picks a dark style.
#include <QColor>
#include <QPalette>

namespace sonavell::test {

inline QPalette darkDesktopPalette()
{
    const QColor text(238, 238, 236);
    QPalette palette;
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::ToolTipText, QPalette::BrightText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Window, QColor(53, 53, 53));
    palette.setColor(QPalette::Base, QColor(45, 45, 45));
    palette.setColor(QPalette::AlternateBase, QColor(60, 60, 60));
    palette.setColor(QPalette::Button, QColor(62, 62, 62));
    palette.setColor(QPalette::Light, QColor(80, 80, 80));
    palette.setColor(QPalette::Midlight, QColor(70, 70, 70));
    palette.setColor(QPalette::Mid, QColor(40, 40, 40));
    palette.setColor(QPalette::Dark, QColor(30, 30, 30));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    palette.setColor(QPalette::Highlight, QColor(21, 83, 158));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(30, 30, 30));
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    palette.setColor(QPalette::Link, QColor(120, 174, 237));
    return palette;
}

} // namespace sonavell::test
