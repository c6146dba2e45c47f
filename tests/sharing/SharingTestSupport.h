#pragma once

#include "core/LibrarySnapshot.h"
#include "sharing/SharingController.h"
#include "support/TestEnvironment.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

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

// Splits an answer into head (through the blank line) and body.
QByteArray headOf(const QByteArray& answer);
QByteArray bodyOf(const QByteArray& answer);

// Runs curl with the arguments; returns its standard output (exit code in *exitCode).
QByteArray runCurl(const QStringList& arguments, int* exitCode = nullptr);

// A documents folder, a web folder and a library snapshot for a server on an ephemeral port.
class ServerFixture
{
public:
    ServerFixture();
    ~ServerFixture();

    void setLibrary(std::shared_ptr<LibrarySnapshot> library);
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
};

} // namespace sonavell::test
