// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/WWWViewController.h"

#include "platform/ui/WebView.h"

#include <QUrl>
#include <QVBoxLayout>

WWWViewController::WWWViewController(QWidget* parent)
    : ViewController(parent)
    , m_webView(new WebView(this))
{
    m_webView->setObjectName(QStringLiteral("webView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_webView);
}

void WWWViewController::loadPage(const QString& address)
{
    m_webView->loadRequest(QUrl(address));
}
