// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/LibrarySnapshot.h"
#include "sharing/SharingController.h"
#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ExportController;

namespace sonavell::test {

// A device name no other test program uses, so concurrent services never collide.
QString uniqueDeviceName(const QString& tag);

// A raw TCP client on 127.0.0.1.
int connectToPort(quint16 port);
// Sends the bytes and reads until the server closes (or the time is up).
QByteArray readToEnd(int fd, int timeoutMs = 10000);
QByteArray exchange(quint16 port, const QByteArray& request, int timeoutMs = 10000);
// True when the peer closed the connection within the time (reading and discarding data).
bool closedWithin(int fd, int timeoutMs);

// The head of a page answer and of a whole file's answer with the given Content-Length.
QByteArray pageHead(qsizetype length);
QByteArray fileHead(qsizetype length, const QByteArray& type);
// Bytes of the given size in a pattern that shows any shift or gap.
QByteArray patterned(qsizetype size);
// A recording of the library, made on "12/6/26, 9:15 PM" in quality "HQ".
LibrarySnapshot::RecordingEntry recordingEntry(const QString& file, const QString& name,
                                               const QString& category, double duration = 1);

// Runs curl with the arguments; returns its standard output (exit code in *exitCode).
QByteArray runCurl(const QStringList& arguments, int* exitCode = nullptr);

// Connects the export screen and the server as the application does: the switch turns the
// server on and off, and the server's addresses are shown on the screen.
void connectExportScreen(SharingController& server, ExportController& screen);

// A documents folder, a web folder and a library snapshot for a server on an ephemeral port.
class ServerFixture
{
public:
    ServerFixture();
    ~ServerFixture();

    SharingController::Environment environment() const;
    // Creates the controller (if needed), switches it on and waits until it listens.
    SharingController& start(std::chrono::milliseconds stallTimeout = std::chrono::seconds(30));
    quint16 port() const { return controller ? controller->tcpPort() : 0; }

    ScratchDir documents;
    ScratchDir web;
    std::shared_ptr<LibrarySnapshot> library;
    std::unique_ptr<SharingController> controller;
    int urlNotifications = 0;
    QString deviceName;
    // The addresses the server takes for this machine's; the real ones when empty.
    QStringList hostAddresses;
};

} // namespace sonavell::test
