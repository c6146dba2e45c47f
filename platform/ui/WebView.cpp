// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ui/WebView.h"

#include "platform/ui/PlatformUiLog.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

WebView::WebView(QWidget* parent)
    : QTextBrowser(parent)
    , m_network(new QNetworkAccessManager(this))
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameShape(QFrame::NoFrame);
    openExternally = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &WebView::linkActivated);
}

WebView::~WebView()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void WebView::loadRequest(const QUrl& url)
{
    if (m_reply) {
        QNetworkReply* old = m_reply;
        m_reply = nullptr;
        old->disconnect(this);
        old->abort();
        old->deleteLater();
    }
    ++m_loadCount;
    m_url = url;

    if (url.isLocalFile()) {
        // A folder address shows its index page, as a web server would.
        QString path = url.toLocalFile();
        if (QFileInfo(path).isDir())
            path = QDir(path).filePath(QStringLiteral("index.html"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            showError(tr("%1 cannot be read.").arg(path));
            return;
        }
        show(file.readAll(), QUrl::fromLocalFile(path));
        return;
    }
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) {
        showError(tr("%1 is not a web address.").arg(url.toString()));
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply != m_reply)
            return;
        m_reply = nullptr;
        if (reply->error() != QNetworkReply::NoError) {
            showError(reply->errorString());
            return;
        }
        show(reply->readAll(), reply->url());
    });
}

void WebView::show(const QByteArray& body, const QUrl& url)
{
    document()->setBaseUrl(url);
    setHtml(QString::fromUtf8(body));
    emit loadFinished(true);
}

void WebView::showError(const QString& reason)
{
    qCWarning(lcPlatformUi).noquote() << "Page" << m_url.toString() << "not loaded:" << reason;
    setHtml(QStringLiteral("<h3>%1</h3><p>%2</p>")
                .arg(tr("This page could not be loaded").toHtmlEscaped(), reason.toHtmlEscaped()));
    emit loadFinished(false);
}

bool WebView::isSameSite(const QUrl& link) const
{
    // Local pages are the help that ships with the program; they link only among themselves.
    if (m_url.isLocalFile() || link.isLocalFile())
        return m_url.isLocalFile() && link.isLocalFile();
    return link.scheme() == m_url.scheme() && link.host() == m_url.host() &&
           link.port() == m_url.port();
}

void WebView::linkActivated(const QUrl& link)
{
    const QUrl target = m_url.resolved(link);
    if (link.scheme().isEmpty() && link.path().isEmpty() && !link.fragment().isEmpty()) {
        scrollToAnchor(link.fragment());
        return;
    }
    if (isSameSite(target))
        loadRequest(target);
    else
        openExternally(target);
}

QVariant WebView::loadResource(int type, const QUrl& name)
{
    // Pictures of local pages come from beside them; nothing else is fetched for a page.
    const QUrl resolved = m_url.resolved(name);
    if (resolved.isLocalFile() && isSameSite(resolved))
        return QTextBrowser::loadResource(type, resolved);
    return {};
}
