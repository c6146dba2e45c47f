// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ui/ViewController.h"

class WebView;

// A screen that is one web view; it shows the help page it is given.
class WWWViewController : public ViewController
{
    Q_OBJECT
public:
    explicit WWWViewController(QWidget* parent = nullptr);

    WebView* webView() const { return m_webView; }
    // Loads the address (a web address or a local file's URL) into the web view.
    void loadPage(const QString& address);

    void viewWillAppear(bool animated) override { Q_UNUSED(animated); }
    static bool shouldAutorotateToInterfaceOrientation(Qt::ScreenOrientation orientation)
    {
        return orientation == Qt::PortraitOrientation;
    }

private:
    WebView* m_webView;
};
