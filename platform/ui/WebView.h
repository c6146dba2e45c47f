// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// A view that shows one web page: a local file or an http(s) address fetched through the
// network. Links to pages of the same site (same scheme, host and port; a local page's links
// to other local pages) open in the view; links to other sites open in the desktop's browser.
// A page that cannot be loaded shows why.
class WebView : public QTextBrowser
{
    Q_OBJECT
public:
    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    // Starts loading the address; a load still running is abandoned.
    void loadRequest(const QUrl& url);
    // The address of the page shown or being loaded.
    QUrl url() const { return m_url; }
    bool isLoading() const { return m_reply != nullptr; }
    // How many loads have been started since the view was made.
    int loadCount() const { return m_loadCount; }

    // Opens an address outside the site; the desktop's browser unless replaced (tests).
    std::function<void(const QUrl&)> openExternally;

    static constexpr int kTimeoutMs = 15000;

signals:
    void loadFinished(bool ok);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void linkActivated(const QUrl& link);
    bool isSameSite(const QUrl& link) const;
    void show(const QByteArray& body, const QUrl& url);
    void showError(const QString& reason);

    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    QUrl m_url;
    int m_loadCount = 0;
};
