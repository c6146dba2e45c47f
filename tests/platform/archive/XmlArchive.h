// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Hand-written XML keyed archives for tests of the reader.
namespace sonavell::test {

// An XML keyed archive whose root array holds the given object entries after "$null" and the
// array itself (at index 1), with the element references given.
inline QByteArray xmlArchive(const QString& rootItems, const QString& objects)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>$archiver</key><string>NSKeyedArchiver</string>
<key>$version</key><integer>100000</integer>
<key>$top</key><dict><key>root</key><dict><key>CF$UID</key><integer>1</integer></dict></dict>
<key>$objects</key><array>
<string>$null</string>
<dict><key>NS.objects</key><array>%1</array></dict>
%2
</array></dict></plist>)")
        .arg(rootItems, objects)
        .toUtf8();
}

inline QString uid(int n)
{
    return QStringLiteral("<dict><key>CF$UID</key><integer>%1</integer></dict>").arg(n);
}

} // namespace sonavell::test
