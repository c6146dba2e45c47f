// SPDX-License-Identifier: GPL-3.0-or-later
// The screens' texts in the system language, with the translators installed as the program
// installs them (Translations::install, as app/main.cpp calls it). The test runs twice (see
// CMakeLists.txt): under LANG=de_DE.UTF-8, where the category list and its alerts speak German,
// and under LANG=C, where every text of the catalogues stays the English one, byte for byte.
#include "BrowserTestSupport.h"

#include "platform/system/Translations.h"
#include "platform/ui/NavigationBarButton.h"

#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QXmlStreamReader>

namespace {

// The language the run was started for (SONAVELL_TEST_LANGUAGE): "de" or "C".
QString runLanguage()
{
    return qEnvironmentVariable("SONAVELL_TEST_LANGUAGE");
}

// The translators, installed once per run as the program installs them at start.
const Translations::Installed& installed()
{
    static const Translations::Installed result = Translations::install();
    return result;
}

class TranslatedScreens : public BrowserFixture
{
protected:
    void SetUp() override
    {
        if (runLanguage() != language())
            GTEST_SKIP() << "this run is for LANG " << runLanguage().toStdString();
        installed();
        BrowserFixture::SetUp(); // the library's first start shows the tip, recorded
        add(QStringLiteral("Song"), QStringLiteral("Music"));
        // Back from the recorder: the list counts again.
        navigation->pushViewController(recorder, false);
        navigation->popViewControllerAnimated(false);
    }
    virtual QString language() const = 0;

    // The rename prompt of the category "Music", as a tap on its row in edit mode opens it.
    AlertView* openRenamePrompt()
    {
        level1->editAction();
        level1->tableViewDidSelectRowAtIndexPath(level1->myTableView(),
                                                 categoryRow(QStringLiteral("Music")));
        return prompt();
    }
};

class GermanScreens : public TranslatedScreens
{
    QString language() const override { return QStringLiteral("de"); }
};

class EnglishScreens : public TranslatedScreens
{
    QString language() const override { return QStringLiteral("C"); }
};

struct SourceText
{
    QString context;
    QString source;
    bool numerus = false;
};

// Every source text of a catalogue.
std::vector<SourceText> sourceTexts(const QString& path)
{
    std::vector<SourceText> texts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    QXmlStreamReader xml(&file);
    QString context;
    bool numerus = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
        else if (xml.name() == QLatin1String("source"))
            texts.push_back({context, xml.readElementText(), numerus});
    }
    return texts;
}

} // namespace

TEST_F(GermanScreens, CategoryListAndItsAlertsSpeakGerman)
{
    EXPECT_EQ(QLocale::system().language(), QLocale::German) << "LANG=de_DE.UTF-8 names German";
    EXPECT_EQ(installed().language, "de");
    // Qt's own catalogue comes with it where the system has one (qt6-translations-l10n).
    const QString qtCatalogue =
        QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_de.qm");
    EXPECT_EQ(installed().qtCatalogue, QFile::exists(qtCatalogue));

    EXPECT_EQ(level1->title(), "Kategorien");
    EXPECT_EQ(level1->rowText(0), "Alle (1)");
    EXPECT_EQ(level1->countLabel()->text(), "1 Datei");
    // The first start's tip, shown by the library.
    ASSERT_FALSE(AlertView::history().isEmpty());
    EXPECT_EQ(AlertView::history().first(),
              "Tipp: Für Aufnahmen ohne Unterbrechung schalten Sie Ihr Telefon in den "
              "Flugmodus.");

    AlertView* alert = openRenamePrompt();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Kategoriename eingeben");
    EXPECT_EQ(alert->buttonTitles(), QStringList({"Abbrechen", "OK"}));
    EXPECT_EQ(level1->editButton()->text(), "Fertig");
    alert->dismissWithClickedButtonIndex(0);
}

TEST_F(EnglishScreens, EveryTextStaysTheEnglishOne)
{
    EXPECT_EQ(installed().language, "");
    EXPECT_FALSE(installed().qtCatalogue);

    EXPECT_EQ(level1->title(), "Categories");
    EXPECT_EQ(level1->rowText(0), "All (1)");
    EXPECT_EQ(level1->countLabel()->text(), "1 files");
    ASSERT_FALSE(AlertView::history().isEmpty());
    EXPECT_EQ(AlertView::history().first(),
              "Tip: To ensure interruption-free recordings, change your phone settings to "
              "Airplane mode.");
    AlertView* alert = openRenamePrompt();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Enter Category Name");
    EXPECT_EQ(alert->buttonTitles(), QStringList({"Cancel", "OK"}));
    EXPECT_EQ(level1->editButton()->text(), "Done");
    alert->dismissWithClickedButtonIndex(0);

    // Every text of the catalogues, looked up as the screens look it up, is its source.
    const auto texts = sourceTexts(sonavell::test::sourceDir() +
                                   QStringLiteral("/resources/translations/sonavell_de.ts"));
    ASSERT_GT(texts.size(), 100u);
    for (const SourceText& text : texts) {
        const QByteArray context = text.context.toUtf8();
        const QByteArray source = text.source.toUtf8();
        const QString shown = QCoreApplication::translate(context.constData(), source.constData(),
                                                          nullptr, text.numerus ? 3 : -1);
        QString expected = text.source;
        if (text.numerus)
            expected.replace(QLatin1String("%n"), QLatin1String("3"));
        EXPECT_EQ(shown, expected) << text.context.toStdString();
    }
}
