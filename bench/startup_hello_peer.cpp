// SPDX-License-Identifier: GPL-3.0-or-later
// The peer of bench_startup: a Qt Widgets hello-world built with the same compiler, flags and
// Qt as sonavell, reporting its first frame the same way.
#include "platform/ui/FirstFrameReport.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Hello, world"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(320, 480);
    FirstFrameReport::install(&window);
    window.show();
    return app.exec();
}
