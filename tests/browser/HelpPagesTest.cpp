// SPDX-License-Identifier: GPL-3.0-or-later
#include "BrowserTestSupport.h"

#include "platform/system/SettingsKeys.h"
#include "platform/ui/WebView.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

// A one-page-per-request HTTP server on the loopback address that notes every path asked for.
class LoopbackSite : public QObject
{
public:
    LoopbackSite()
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray head = socket->readAll();
                    const QByteArray path = head.split(' ').value(1);
                    paths << QString::fromLatin1(path);
                    const QByteArray body = "<html><body><h1>Page " + path +
                                            "</h1><a href=\"/editMemos/\">inside</a> "
                                            "<a href=\"http://127.0.0.2/\">outside</a>"
                                            "</body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Connection: close\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString base() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    QStringList paths;

private:
    QTcpServer m_server;
};

} // namespace

class HelpPages : public BrowserFixture
{
protected:
    void SetUp() override
    {
        BrowserFixture::SetUp();
        page = new WWWViewController(navigation.get());
        info = new AppInfoController(*settings, page, navigation.get());
        page->webView()->openExternally = [this](const QUrl& url) { external << url; };
        navigation->pushViewController(info, false);
    }

    // Chooses an entry and waits for its page.
    bool choose(int row)
    {
        const int before = page->webView()->loadCount();
        bool finished = false;
        auto c = QObject::connect(page->webView(), &WebView::loadFinished, page,
                                  [&finished] { finished = true; });
        info->tableViewDidSelectRowAtIndexPath(info->table(), row);
        const bool ok = page->webView()->loadCount() == before + 1 &&
                        sonavell::test::waitFor([&] { return finished; }, 5000);
        QObject::disconnect(c);
        return ok;
    }

    QString pageText() const { return page->webView()->toPlainText(); }

    WWWViewController* page = nullptr;
    AppInfoController* info = nullptr;
    QList<QUrl> external;
};

TEST_F(HelpPages, FiveEntriesEachWithADisclosureIndicator)
{
    TableView* table = info->table();
    EXPECT_EQ(table->numberOfRows(), 5);
    const QStringList titles = {"Sonavell Manual", "Edit your Memos", "Report a Bug",
                                "Request a Feature", "Sonavell Website"};
    const QStringList paths = {"/support/", "/editMemos/", "/support/report/",
                               "/support/requestFeature/", "/"};
    for (int row = 0; row < 5; ++row) {
        TableViewCell* cell = table->cellForRowAtIndexPath(row);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(), titles[row]);
        EXPECT_EQ(cell->reuseIdentifier(), "MyInfoIdentifier");
        EXPECT_EQ(cell->accessoryType(), TableViewCell::AccessoryType::DisclosureIndicator);
        EXPECT_EQ(AppInfoController::entryPath(row), paths[row]);
    }
    EXPECT_EQ(AppInfoController::entryTitle(5), "");
}

TEST_F(HelpPages, BundledPagesAndTheirLinks)
{
    ASSERT_TRUE(choose(0));
    EXPECT_EQ(navigation->topViewController(), page);
    EXPECT_EQ(page->title(), "Sonavell Manual");
    EXPECT_TRUE(pageText().contains("The Sonavell manual")) << pageText().toStdString();
    EXPECT_TRUE(page->webView()->url().toString().endsWith("/help/support/"));

    // Every entry has its page, and the website entry is the root page.
    for (int row : {1, 2, 3, 4}) {
        navigation->popViewControllerAnimated(false);
        ASSERT_TRUE(choose(row)) << row;
        EXPECT_FALSE(pageText().contains("could not be loaded")) << row;
    }
    EXPECT_TRUE(page->webView()->url().toString().endsWith("/help/"));
    EXPECT_TRUE(pageText().contains("Sonavell records voice memos"));

    // A link inside the help opens in the view.
    page->webView()->anchorClicked(QUrl(QStringLiteral("editMemos/")));
    EXPECT_TRUE(pageText().contains("Editing your memos"));
    EXPECT_TRUE(external.isEmpty());
}

TEST_F(HelpPages, PagesFromAWebSiteLoadAgainWhenChosenAgain)
{
    LoopbackSite site;
    settings->setValue(QLatin1String(kHelpUrlKey), site.base() + "/");
    ASSERT_TRUE(choose(4));
    EXPECT_EQ(site.paths, QStringList({"/"}));
    EXPECT_TRUE(pageText().contains("Page /"));
    navigation->popViewControllerAnimated(false);
    ASSERT_TRUE(choose(4));
    ASSERT_TRUE(choose(2)); // pushed again while on top: loads into the same screen
    EXPECT_EQ(site.paths, QStringList({"/", "/", "/support/report/"}));

    // Same site: in the view. Another site: the desktop's browser.
    bool finished = false;
    QObject::connect(page->webView(), &WebView::loadFinished, page, [&] { finished = true; });
    page->webView()->anchorClicked(QUrl(QStringLiteral("/editMemos/")));
    ASSERT_TRUE(sonavell::test::waitFor([&] { return finished; }, 5000));
    EXPECT_EQ(site.paths.last(), "/editMemos/");
    page->webView()->anchorClicked(QUrl(QStringLiteral("http://127.0.0.2/")));
    EXPECT_EQ(external, QList<QUrl>({QUrl(QStringLiteral("http://127.0.0.2/"))}));
}

TEST_F(HelpPages, AnUnreachableSiteSaysSo)
{
    QString base;
    {
        LoopbackSite gone; // nothing listens on its port once it is gone
        base = gone.base();
    }
    settings->setValue(QLatin1String(kHelpUrlKey), base);
    ASSERT_TRUE(choose(0));
    EXPECT_TRUE(pageText().contains("could not be loaded"));
}
