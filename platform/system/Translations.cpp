// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/Translations.h"

#include "platform/system/PlatformSystemLog.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace {

// A translator owned by the application with `file` loaded from `directory`: the file with its
// language suffix ("sonavell_de_CH"), else without the region part ("sonavell_de"). Null when
// neither is there.
std::unique_ptr<QTranslator> loadCatalogue(const QString& file, const QString& directory)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(file, directory))
        return nullptr;
    return translator;
}

} // namespace

QString Translations::catalogueDirectory()
{
    return QStringLiteral(":/i18n");
}

Translations::Installed Translations::install(const QLocale& locale)
{
    Installed installed;
    if (!QCoreApplication::instance())
        return installed;
    for (const QString& name : locale.uiLanguages()) {
        const QLocale language(name);
        // English is the sources' own language: a person who puts it first gets the texts as
        // they are, even when a later language of theirs has a catalogue.
        if (language.language() == QLocale::English || language.language() == QLocale::C)
            break;
        std::unique_ptr<QTranslator> own =
            loadCatalogue(QStringLiteral("sonavell_") + language.name(), catalogueDirectory());
        if (!own)
            continue; // the next language of the person's list, if any
        // Qt's standard texts in the same language, never alone: without a Sonavell catalogue
        // they would mix two languages in one window. Installed first, since a translator
        // installed later is asked first: Sonavell's catalogue keeps the last word.
        std::unique_ptr<QTranslator> qt =
            loadCatalogue(QStringLiteral("qtbase_") + language.name(),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath));
        if (qt && QCoreApplication::installTranslator(qt.get())) {
            qt.release();
            installed.qtCatalogue = true;
        }
        if (QCoreApplication::installTranslator(own.get())) {
            own.release();
            installed.language = QLocale::languageToCode(language.language());
        }
        const QString shown = QLocale::languageToString(language.language());
        if (installed.qtCatalogue)
            qCDebug(lcPlatformSystem).noquote() << "Texts in" << shown << "- Qt's own too";
        else
            qCDebug(lcPlatformSystem).noquote()
                << "Texts in" << shown << "- Qt's own in English (no qtbase catalogue for it)";
        break;
    }
    return installed;
}
