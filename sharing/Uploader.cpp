// SPDX-License-Identifier: GPL-3.0-or-later
#include "sharing/Uploader.h"

#include "platform/ui/ProgressView.h"
#include "sharing/SharingLog.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRegularExpression>

namespace {

QByteArray boundary()
{
    return QByteArray(Uploader::kBoundary);
}

QByteArray formField(const char* name)
{
    return QByteArray("Content-Disposition: form-data; name=\"") + name + "\"\r\n\r\n";
}

// Every answer the server gives to a part or to the mail request begins with this word.
bool accepted(const QByteArray& answer)
{
    return QString::fromUtf8(answer).startsWith(QLatin1String("SUCCESS"));
}

} // namespace

Uploader::Uploader(const QUrl& serverURL, const QString& filePath, ProgressReceiver delegate,
                   OutcomeReceiver doneSelector, OutcomeReceiver errorSelector,
                   ProgressView* progressBar, const QString& mailTo, const QString& mailFrom,
                   const QString& mailSubject, const QString& mailText, int timeoutMs,
                   QObject* parent)
    : QObject(parent)
    , m_filePath(filePath)
    , m_delegate(std::move(delegate))
    , m_doneSelector(std::move(doneSelector))
    , m_errorSelector(std::move(errorSelector))
    , m_mailTo(mailTo)
    , m_mailFrom(mailFrom)
    , m_mailSubject(mailSubject)
    , m_mailText(mailText)
    , m_progressBar(progressBar)
    , m_serverURL(serverURL)
    , m_timeoutMs(timeoutMs)
{
    startUpload();
}

Uploader::~Uploader() = default;

QUrl Uploader::endpoint(const char* path) const
{
    QUrl url = m_serverURL;
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + QLatin1String(path));
    return url;
}

QByteArray Uploader::partRequestBody(const QString& fileName, const QString& randomFileName,
                                     const QByteArray& data)
{
    const QByteArray b = boundary();
    QByteArray body;
    body.reserve(data.size() + 512);
    body += "--" + b + "\r\n";
    // A quote or a line break in the file name would end the field early.
    QString safeName = fileName;
    for (QChar& c : safeName)
        if (c == QLatin1Char('"') || c == QLatin1Char('\\') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    body += "Content-Disposition: form-data; name=\"uploadedFile\"; filename=\"" +
            safeName.toUtf8() + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    body += data;
    body += "\r\n--" + b + "\r\n";
    body += formField("fileName");
    body += randomFileName.toUtf8();
    body += "wav\r\n--" + b + "--\r\n";
    return body;
}

QByteArray Uploader::emailRequestBody(const QString& randomFileName, const QString& mailTo,
                                      const QString& mailFrom, const QString& mailText,
                                      const QString& mailSubject)
{
    const QByteArray b = boundary();
    QByteArray body = "--" + b + "\r\n";
    body += formField("fileName") + randomFileName.toUtf8() + "wav\r\n--" + b + "\r\n";
    body += formField("mailTo") + mailTo.toUtf8() + "\r\n--" + b + "\r\n";
    body += formField("mailFrom") + mailFrom.toUtf8() + "\r\n--" + b + "\r\n";
    body += formField("mailText") + mailText.toUtf8() + "\r\n--" + b + "\r\n";
    body += formField("mailSubject") + mailSubject.toUtf8() + "\r\n--" + b + "--\r\n";
    return body;
}

void Uploader::startUpload()
{
    m_uploadDidSucceed = false;
    m_count = 0;
    const QFileInfo info(m_filePath);
    if (!info.isFile() || !info.isReadable()) {
        fail(QStringLiteral("cannot read %1").arg(m_filePath));
        return;
    }
    m_length = uint64_t(info.size());

    UrlLoader::get(endpoint(kRandomNamePath), m_timeoutMs, this,
                   [this](const UrlLoader::Result& name) {
                       nameReceived(name);
                       endNameFetch();
                   });
}

void Uploader::nameReceived(const UrlLoader::Result& name)
{
    if (!name.ok) {
        fail(QStringLiteral("no upload name from the server: %1").arg(name.error));
        return;
    }
    m_randomFileName = QString::fromUtf8(name.body);
    qCInfo(lcSharing).noquote() << m_randomFileName;
    // The name goes into every request's form fields: one with line breaks or quotes in it
    // would break them, and an empty one names no upload.
    static const QRegularExpression unsafe(QStringLiteral("[\\x00-\\x1f\"\\\\]"));
    if (m_randomFileName.isEmpty() || m_randomFileName.contains(unsafe)) {
        fail(QStringLiteral("the server gave no usable upload name"));
        return;
    }
    continueUpload();
}

void Uploader::endNameFetch()
{
    if (m_nameFetchEnded)
        return;
    m_nameFetchEnded = true;
    emit nameFetchEnded();
}

void Uploader::continueUpload()
{
    if (m_finished)
        return;
    if (m_length > m_count) {
        const uint64_t remaining = m_length - m_count;
        const uint64_t p = remaining > uint64_t(kPartSize) ? uint64_t(kPartSize) : remaining;
        qCInfo(lcSharing, "l: %i c: %i p: %i prg: %f", int(m_length), int(m_count), int(p),
               double(float(m_count) / float(m_length)));
        if (m_delegate)
            m_delegate(float(double(m_count) / double(m_length)));
        QFile file(m_filePath);
        QByteArray data;
        if (file.open(QIODevice::ReadOnly) && file.seek(qint64(m_count)))
            data = file.read(qint64(p));
        if (data.size() != qint64(p)) {
            fail(QStringLiteral("cannot read %1 bytes at %2 of %3")
                     .arg(p)
                     .arg(m_count)
                     .arg(m_filePath));
            return;
        }
        postRequestWithURL(data);
        m_count += p;
        // The next step runs when this part has been accepted.
        return;
    }

    // Every part has been accepted (or there was none): ask for the mail, once.
    if (m_uploadDidSucceed)
        return;
    m_uploadDidSucceed = true;
    if (m_delegate)
        m_delegate(1.0f);
    postRequestEmailWithURL();
}

void Uploader::postRequestWithURL(const QByteArray& data)
{
    UrlRequest request;
    request.url = endpoint(kPartsPath);
    request.method = "POST";
    request.headers.append({"Content-Type", "multipart/form-data; boundary=" + boundary()});
    request.body = partRequestBody(QFileInfo(m_filePath).fileName(), m_randomFileName, data);
    request.timeoutMs = m_timeoutMs;
    UrlLoader::send(request, this,
                    [this](const UrlLoader::Result& answer) { partAnswered(answer); });
}

void Uploader::partAnswered(const UrlLoader::Result& answer)
{
    if (!answer.ok) {
        qCWarning(lcSharing).noquote() << "didFailWithError" << answer.error;
        fail(QStringLiteral("a part could not be sent: %1").arg(answer.error));
        return;
    }
    if (!accepted(answer.body)) {
        fail(QStringLiteral("the server did not accept a part: %1")
                 .arg(QString::fromUtf8(answer.body.left(200))));
        return;
    }
    continueUpload();
}

void Uploader::postRequestEmailWithURL()
{
    UrlRequest request;
    request.url = endpoint(kEmailPath);
    request.method = "POST";
    request.headers.append({"Content-Type", "multipart/form-data; boundary=" + boundary()});
    request.body =
        emailRequestBody(m_randomFileName, m_mailTo, m_mailFrom, m_mailText, m_mailSubject);
    request.timeoutMs = m_timeoutMs;
    UrlLoader::send(request, this,
                    [this](const UrlLoader::Result& result) { mailAnswered(result); });
}

void Uploader::mailAnswered(const UrlLoader::Result& result)
{
    m_count += 1;
    if (!result.ok) {
        fail(QStringLiteral("the mail request failed: %1").arg(result.error));
        return;
    }
    if (!accepted(result.body)) {
        fail(QStringLiteral("the server did not send the mail: %1")
                 .arg(QString::fromUtf8(result.body.left(200))));
        return;
    }
    qCInfo(lcSharing) << "email sent";
    uploadSucceeded(true);
}

void Uploader::fail(const QString& reason)
{
    if (m_finished)
        return;
    m_failureReason = reason;
    qCWarning(lcSharing).noquote() << "E-mail upload failed:" << reason;
    uploadSucceeded(false);
}

void Uploader::uploadSucceeded(bool success)
{
    if (m_finished)
        return;
    m_finished = true;
    // Reported from the event loop: the creator may still be inside the constructor, and the
    // receivers may release this object.
    QMetaObject::invokeMethod(
        this,
        [this, success] {
            // An upload that fails before its name fetch has ended that step all the same.
            endNameFetch();
            // A receiver may release this object; the progress receiver is kept aside for it.
            const ProgressReceiver delegate = m_delegate;
            if (success) {
                if (m_doneSelector)
                    m_doneSelector(this);
            } else if (m_errorSelector) {
                m_errorSelector(this);
            }
            if (delegate)
                delegate(0.0f);
        },
        Qt::QueuedConnection);
}
