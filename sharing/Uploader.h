// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/net/UrlLoader.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>

class ProgressView;

// Sends one recording by e-mail through the upload server: fetches a fresh name from it,
// uploads the WAV file in parts of 16384 bytes under that name, one part at a time, and once
// the last part has been accepted asks the server to mail the file. Each request waits for the
// answer to the one before it, without ever holding the event loop. Progress goes to `delegate`
// (the fraction sent before each part, 1.0 before the mail request, 0.0 once the outcome is
// known); the outcome goes to `doneSelector` or `errorSelector`, always from the event loop after
// the constructor has returned, so the creator has stored the uploader before it hears of it.
// Deleting the uploader ends its request under way; nothing is reported after that.
//
// Any failure ends the upload and is reported as an error: a name that cannot be fetched or is
// empty, a file that cannot be read, a part the server does not answer with "SUCCESS", and a mail
// request that fails or is not answered with "SUCCESS".
class Uploader : public QObject
{
    Q_OBJECT
public:
    using ProgressReceiver = std::function<void(float)>;
    using OutcomeReceiver = std::function<void(Uploader*)>;

    static constexpr qint64 kPartSize = 16384;
    static constexpr const char* kBoundary = "0xKhTmLbOuNdArY";
    static constexpr int kTimeoutMs = 20000;
    static constexpr const char* kRandomNamePath = "/snv/uploadRandomName.php";
    static constexpr const char* kPartsPath = "/snv/uploadParts.php";
    static constexpr const char* kEmailPath = "/snv/uploadEmail.php";

    // Starts the upload with the name fetch. `serverURL` is the server's base address; the three
    // paths follow it.
    Uploader(const QUrl& serverURL, const QString& filePath, ProgressReceiver delegate,
             OutcomeReceiver doneSelector, OutcomeReceiver errorSelector, ProgressView* progressBar,
             const QString& mailTo, const QString& mailFrom, const QString& mailSubject,
             const QString& mailText, int timeoutMs = kTimeoutMs, QObject* parent = nullptr);
    ~Uploader() override;

    QString filePath() const { return m_filePath; }
    QString randomFileName() const { return m_randomFileName; }
    // Why the upload failed, once it has.
    QString failureReason() const { return m_failureReason; }

    // The body of one part request, and of the mail request.
    static QByteArray partRequestBody(const QString& fileName, const QString& randomFileName,
                                      const QByteArray& data);
    static QByteArray emailRequestBody(const QString& randomFileName, const QString& mailTo,
                                       const QString& mailFrom, const QString& mailText,
                                       const QString& mailSubject);

signals:
    // The name fetch has ended, with a name or without (or the upload failed before it): the parts
    // follow, or the error outcome. Emitted once, from the event loop, before the outcome; a
    // receiver must not delete the uploader.
    void nameFetchEnded();

private:
    void startUpload();
    void nameReceived(const UrlLoader::Result& name);
    void endNameFetch();
    void continueUpload();
    void postRequestWithURL(const QByteArray& data);
    void partAnswered(const UrlLoader::Result& answer);
    void postRequestEmailWithURL();
    void mailAnswered(const UrlLoader::Result& result);
    void uploadSucceeded(bool success);
    void fail(const QString& reason);

    QUrl endpoint(const char* path) const;

    QString m_filePath;
    ProgressReceiver m_delegate;
    OutcomeReceiver m_doneSelector;
    OutcomeReceiver m_errorSelector;
    QString m_randomFileName;
    QString m_mailTo;
    QString m_mailFrom;
    QString m_mailSubject;
    QString m_mailText;
    QPointer<ProgressView> m_progressBar;
    bool m_uploadDidSucceed = false;
    uint64_t m_count = 0;
    uint64_t m_length = 0;

    QUrl m_serverURL;
    int m_timeoutMs = kTimeoutMs;
    bool m_nameFetchEnded = false;
    bool m_finished = false; // the outcome has been decided
    QString m_failureReason;
};
