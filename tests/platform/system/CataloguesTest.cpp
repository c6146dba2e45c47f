// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogues of the program's texts (resources/translations/*.ts) are complete: every text
// the sources give them has a finished translation that keeps the text's placeholders, so a new
// tr() text that lupdate adds without a translation fails here. And the built catalogues are in
// the program's resources, where Translations finds them.
#include "platform/system/Translations.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

struct Message
{
    QString context;
    QString source;
    bool numerus = false;
    QString type;      // the translation's type attribute: "unfinished", "vanished", …
    QStringList forms; // the translation, or its numerus forms
};

struct Catalogue
{
    QString language; // the TS element's language attribute
    std::vector<Message> messages;
    QString error;
};

Catalogue read(const QString& path)
{
    Catalogue catalogue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        catalogue.error = file.errorString();
        return catalogue;
    }
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("TS")) {
            catalogue.language = xml.attributes().value(QLatin1String("language")).toString();
        } else if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            Message message;
            message.context = context;
            message.numerus =
                xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("source")) {
                    message.source = xml.readElementText();
                } else if (xml.name() == QLatin1String("translation")) {
                    message.type = xml.attributes().value(QLatin1String("type")).toString();
                    if (message.numerus) {
                        while (xml.readNextStartElement()) {
                            if (xml.name() == QLatin1String("numerusform"))
                                message.forms << xml.readElementText();
                            else
                                xml.skipCurrentElement();
                        }
                    } else {
                        message.forms << xml.readElementText();
                    }
                } else {
                    xml.skipCurrentElement();
                }
            }
            catalogue.messages.push_back(message);
        }
    }
    if (xml.hasError())
        catalogue.error = xml.errorString() + QStringLiteral(" at line %1").arg(xml.lineNumber());
    return catalogue;
}

QString folder()
{
    return sonavell::test::sourceDir() + QStringLiteral("/resources/translations");
}

QStringList catalogueFiles()
{
    return QDir(folder()).entryList({QStringLiteral("sonavell_*.ts")}, QDir::Files, QDir::Name);
}

// The placeholders of a text, sorted: %1 … %99 and %n (each as often as it occurs).
QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%(\\d{1,2}|n)"));
    QStringList found;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        found << it.next().captured(0);
    found.sort();
    return found;
}

// The keyboard accelerators of a text ("&Save"; "&&" is a plain ampersand).
int accelerators(QString text)
{
    text.remove(QLatin1String("&&"));
    static const QRegularExpression accelerator(QStringLiteral("&\\w"));
    return int(text.count(accelerator));
}

QString where(const Message& message)
{
    return message.context + QStringLiteral(": \"") + message.source + QLatin1Char('"');
}

} // namespace

TEST(Catalogues, GermanAndFrenchAreThere)
{
    const QStringList files = catalogueFiles();
    EXPECT_TRUE(files.contains(QStringLiteral("sonavell_de.ts"))) << files.join(' ').toStdString();
    EXPECT_TRUE(files.contains(QStringLiteral("sonavell_fr.ts"))) << files.join(' ').toStdString();
}

TEST(Catalogues, EveryTextHasAFinishedTranslation)
{
    for (const QString& name : catalogueFiles()) {
        SCOPED_TRACE(name.toStdString());
        const Catalogue catalogue = read(folder() + QLatin1Char('/') + name);
        ASSERT_TRUE(catalogue.error.isEmpty()) << catalogue.error.toStdString();
        ASSERT_GT(catalogue.messages.size(), 100u);
        // sonavell_de.ts holds language "de_DE" (as lupdate writes it) or "de".
        const QString language = name.mid(9).chopped(3);
        EXPECT_TRUE(catalogue.language.startsWith(language)) << catalogue.language.toStdString();
        for (const Message& message : catalogue.messages) {
            const std::string at = where(message).toStdString();
            EXPECT_FALSE(message.source.isEmpty()) << at;
            EXPECT_TRUE(message.type.isEmpty())
                << at << " is " << message.type.toStdString()
                << " (translate it with Linguist; run lupdate with -no-obsolete)";
            ASSERT_FALSE(message.forms.isEmpty()) << at << " has no translation";
            for (const QString& form : message.forms) {
                EXPECT_FALSE(form.trimmed().isEmpty()) << at << " has an empty translation";
                EXPECT_EQ(placeholders(form), placeholders(message.source))
                    << at << " -> \"" << form.toStdString() << '"';
                EXPECT_EQ(accelerators(form), accelerators(message.source))
                    << at << " -> \"" << form.toStdString() << '"';
            }
        }
    }
}

// lupdate puts every text into every catalogue: they hold the same texts.
TEST(Catalogues, AllHoldTheSameTexts)
{
    QSet<QString> first;
    for (const QString& name : catalogueFiles()) {
        QSet<QString> texts;
        for (const Message& message : read(folder() + QLatin1Char('/') + name).messages)
            texts.insert(where(message));
        if (first.isEmpty())
            first = texts;
        EXPECT_EQ(texts, first) << name.toStdString();
    }
}

// The built catalogues are in the program: Translations finds the German one in the resources.
TEST(Catalogues, AreBuiltIntoTheProgram)
{
    for (const QString& name : catalogueFiles()) {
        const QString qm = name.chopped(3) + QStringLiteral(".qm");
        EXPECT_TRUE(QFile::exists(Translations::catalogueDirectory() + QLatin1Char('/') + qm))
            << qm.toStdString();
    }
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral("sonavell_de"), Translations::catalogueDirectory()));
    EXPECT_EQ(german.translate("Level1ViewController", "Categories"), "Kategorien");
    EXPECT_EQ(german.translate("Level1ViewController", "%n files", nullptr, 2), "%n Dateien");
}
