// SPDX-License-Identifier: GPL-3.0-or-later
// The export screen: the web sharing switch with its captions, and the e-mail progress display.
#include "SharingTestSupport.h"

#include "core/AppDelegate.h"
#include "platform/system/LocationManager.h"

#include "platform/ui/ProgressView.h"
#include "sharing/ExportController.h"
#include "sharing/SharingPages.h"

#include <QLabel>
#include <QSettings>
#include <QTimer>

#include <gtest/gtest.h>

using namespace sonavell::test;

TEST(ExportScreen, ProgressDisplayFollowsTheUploader)
{
    ExportController screen(nullptr);
    screen.updateEmailProgress(0.4096f);
    screen.updateProgress();
    EXPECT_EQ(screen.progressLabel->text(), QStringLiteral("Sending Email (41.0% complete):"));
    EXPECT_FALSE(screen.progressLabel->isHidden());
    EXPECT_FALSE(screen.emailProgressBar->isHidden());
    EXPECT_FLOAT_EQ(screen.emailProgressBar->progress(), 0.4096f);

    screen.updateEmailProgress(1.0f);
    screen.updateProgress();
    EXPECT_EQ(screen.progressLabel->text(), QStringLiteral("Sending Email (100.0% complete):"));

    screen.updateEmailProgress(0.0f);
    screen.updateProgress();
    EXPECT_TRUE(screen.progressLabel->isHidden());
    EXPECT_TRUE(screen.emailProgressBar->isHidden());

    // While shown, the display catches up on its own every half second.
    screen.viewWillAppear(false);
    EXPECT_TRUE(screen.progressTimer->isActive());
    EXPECT_EQ(screen.progressTimer->interval(), 500);
    screen.updateEmailProgress(0.25f);
    EXPECT_TRUE(waitFor([&] { return !screen.progressLabel->isHidden(); }, 2000));
    EXPECT_EQ(screen.progressLabel->text(), QStringLiteral("Sending Email (25.0% complete):"));
    screen.viewWillDisappear(false);
    EXPECT_FALSE(screen.progressTimer->isActive());
}

TEST(ExportScreen, TheApplicationsServerServesItsLibraryAndReportsToItsScreen)
{
    ScratchDir dir;
    AppDelegate::Environment env;
    env.documentsPath = dir.file(QStringLiteral("Documents"));
    env.userDefaults = privateSettings(dir);
    env.locationManager = std::make_shared<LocationManager>(std::nullopt);
    AppDelegate app(env);
    SharingController server(&app);
    ExportController screen(&app);
    connectExportScreen(server, screen);
    EXPECT_EQ(server.myDocumentsPath(), env.documentsPath);
    EXPECT_TRUE(server.serviceName().startsWith(QStringLiteral("Sonavell@")));

    // The pages follow the application's latest library.
    EXPECT_EQ(server.generateCategoriesContent(),
              SharingPages::categoriesContent(*app.librarySnapshot()));
    EXPECT_FALSE(server.generateCategoriesContent().contains("New Category"));
    app.addCategory();
    EXPECT_TRUE(server.generateCategoriesContent().contains(
        "<li><a href=\"/Category/New%20Category\">New Category</a></li>"));

    // Switching off reports the empty addresses to the export screen.
    screen.bonjourURL->setText(QStringLiteral("http://earlier.local:8080"));
    server.toggleSharing(false);
    EXPECT_EQ(screen.bonjourURL->text(), QString());
}
