// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

// The program's texts in the person's language. For the first language of `locale` that is not
// English (the language of the sources), Sonavell's own catalogue (sonavell_<language>.qm, built
// from resources/translations/ into the program's resources) is installed into the running
// application, and with it Qt's catalogue of its standard texts (qtbase_<language>.qm under
// QLibraryInfo::TranslationsPath) when the system has one. A language without a Sonavell
// catalogue installs nothing: every text stays the English one of the sources, Qt's included.
class Translations
{
public:
    struct Installed
    {
        QString language; // the catalogue's language ("de", "fr"), empty when none was installed
        bool qtCatalogue = false; // Qt's qtbase catalogue for it was found and installed too
    };

    // Called once, after the application object exists and before any screen is built. The
    // system locale follows LC_ALL, LC_MESSAGES and LANG (and LANGUAGE for a list of languages).
    static Installed install(const QLocale& locale = QLocale::system());

    // The resource folder that holds Sonavell's catalogues.
    static QString catalogueDirectory();
};
