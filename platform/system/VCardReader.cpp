// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/VCardReader.h"

#include <QByteArrayList>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace {

struct Property
{
    QByteArray name;       // upper case, group removed
    QByteArrayList params; // upper case as written, e.g. "TYPE=INTERNET", "PREF=1", "HOME"
    QByteArray value;      // raw, still encoded
};

// Splits the text into logical lines: a line break followed by a space or a tab continues the
// line (the folding of 3.0 and 4.0, which many 2.1 writers use too); a quoted-printable value
// that ends in "=" continues on the next line (the soft line break of 2.1).
QByteArrayList unfold(const QByteArray& text)
{
    QByteArrayList physical = text.split('\n');
    QByteArrayList lines;
    for (QByteArray line : physical) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!lines.isEmpty() && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            lines.last() += line.mid(1);
            continue;
        }
        if (!lines.isEmpty() && lines.last().endsWith('=')) {
            const qsizetype colon = lines.last().indexOf(':');
            if (colon >= 0 && lines.last().left(colon).toUpper().contains("QUOTED-PRINTABLE")) {
                lines.last().chop(1);
                lines.last() += line;
                continue;
            }
        }
        lines << line;
    }
    return lines;
}

// The parameters part may hold quoted values with ':' or ';' in them.
bool parse(const QByteArray& line, Property& property)
{
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0)
        return false;
    const QByteArray head = line.left(colon);
    property.value = line.mid(colon + 1);
    QByteArrayList parts;
    QByteArray current;
    quoted = false;
    for (char c : head) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    QByteArray name = parts.takeFirst().trimmed().toUpper();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0)
        name = name.mid(dot + 1);
    property.name = name;
    property.params.clear();
    for (const QByteArray& p : parts)
        property.params << p.trimmed().toUpper();
    return !property.name.isEmpty();
}

// The value of parameter `key` ("CHARSET"), or of a bare 2.1 parameter when `key` is empty.
QByteArray paramValue(const Property& property, const QByteArray& key)
{
    for (const QByteArray& p : property.params) {
        const qsizetype eq = p.indexOf('=');
        if (eq >= 0 && p.left(eq).trimmed() == key) {
            QByteArray v = p.mid(eq + 1).trimmed();
            if (v.startsWith('"') && v.endsWith('"') && v.size() >= 2)
                v = v.mid(1, v.size() - 2);
            return v;
        }
    }
    return {};
}

bool isQuotedPrintable(const Property& property)
{
    return paramValue(property, "ENCODING") == "QUOTED-PRINTABLE" ||
           property.params.contains("QUOTED-PRINTABLE");
}

QByteArray decodeQuotedPrintable(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size()) {
            bool ok = false;
            const int byte = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(byte);
                i += 2;
                continue;
            }
        }
        if (in[i] == '=' && i == in.size() - 1)
            break; // a soft break left at the very end
        out += in[i];
    }
    return out;
}

QString decodeCharset(const QByteArray& bytes, const QByteArray& charset)
{
    if (charset.isEmpty() || charset == "UTF-8" || charset == "UTF8")
        return QString::fromUtf8(bytes);
    if (charset == "ISO-8859-1" || charset == "LATIN1" || charset == "US-ASCII" ||
        charset == "ASCII")
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(charset.constData());
    if (decoder.isValid()) {
        QString text = decoder(bytes);
        if (!decoder.hasError())
            return text;
    }
    // Windows-1252 and the other single-byte sets old phones wrote are close to Latin-1 for
    // names; UTF-8 that is valid is taken as such.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QString decodeValue(const Property& property)
{
    QByteArray bytes = property.value;
    if (isQuotedPrintable(property))
        bytes = decodeQuotedPrintable(bytes);
    return decodeCharset(bytes, paramValue(property, "CHARSET"));
}

// Splits a structured value on unescaped ';' and resolves the escapes in each component.
QStringList components(const QString& value)
{
    QStringList out;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            if (next == QLatin1Char('n') || next == QLatin1Char('N'))
                current += QLatin1Char('\n');
            else
                current += next; // "\,", "\;", "\\" and anything else stand for themselves
        } else if (c == QLatin1Char(';')) {
            out << current;
            current.clear();
        } else {
            current += c;
        }
    }
    out << current;
    return out;
}

QString text(const Property& property)
{
    return components(decodeValue(property)).join(QLatin1Char(';')).trimmed();
}

// 3.0 writes "TYPE=pref" or "TYPE=INTERNET,PREF"; 2.1 a bare "PREF"; 4.0 "PREF=1".
int preference(const Property& property)
{
    const QByteArray pref = paramValue(property, "PREF");
    if (!pref.isEmpty()) {
        bool ok = false;
        const int rank = pref.toInt(&ok);
        return ok ? std::clamp(rank, 1, 100) : 100;
    }
    for (const QByteArray& p : property.params) {
        const QByteArray values = p.startsWith("TYPE=") ? p.mid(5) : p;
        for (const QByteArray& v : values.split(','))
            if (v.trimmed() == "PREF" || v.trimmed() == "\"PREF\"")
                return 1;
    }
    return 101; // not preferred
}

QString nameFromN(const Property& property)
{
    // Family; Given; Additional; Prefixes; Suffixes
    QStringList n = components(decodeValue(property));
    while (n.size() < 5)
        n << QString();
    QStringList parts;
    for (int i : {3, 1, 2, 0, 4}) {
        QString part = n[i];
        part.replace(QLatin1Char(','), QLatin1Char(' '));
        part = part.simplified();
        if (!part.isEmpty())
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

std::vector<VCardReader::Person> VCardReader::read(const QByteArray& input)
{
    QByteArray textBytes = input;
    if (textBytes.startsWith("\xEF\xBB\xBF"))
        textBytes.remove(0, 3);

    std::vector<Person> people;
    int depth = 0;
    QString fn;
    QString n;
    std::vector<std::pair<int, QString>> emails;
    for (const QByteArray& line : unfold(textBytes)) {
        Property property;
        if (!parse(line, property))
            continue;
        if (property.name == "BEGIN" && property.value.trimmed().toUpper() == "VCARD") {
            if (depth++ == 0) {
                fn.clear();
                n.clear();
                emails.clear();
            }
            continue;
        }
        if (property.name == "END" && property.value.trimmed().toUpper() == "VCARD") {
            if (depth > 0 && --depth == 0) {
                Person person;
                person.name = fn.isEmpty() ? n : fn;
                std::stable_sort(emails.begin(), emails.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                // An address given twice is listed once, where it first appears; a set keeps
                // this linear for cards with many addresses.
                QSet<QString> seen;
                seen.reserve(qsizetype(emails.size()));
                for (const auto& [rank, address] : emails) {
                    if (!seen.contains(address)) {
                        seen.insert(address);
                        person.emails << address;
                    }
                }
                if (person.name.isEmpty() && !person.emails.isEmpty())
                    person.name = person.emails.first();
                if (!person.name.isEmpty())
                    people.push_back(std::move(person));
            }
            continue;
        }
        if (depth != 1)
            continue; // outside a card, or inside one embedded in another (AGENT)
        if (property.name == "FN" && fn.isEmpty()) {
            fn = text(property);
        } else if (property.name == "N" && n.isEmpty()) {
            n = nameFromN(property);
        } else if (property.name == "EMAIL") {
            QString address = text(property);
            if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
                address = address.mid(7);
            address = address.trimmed();
            if (!address.isEmpty())
                emails.emplace_back(preference(property), address);
        }
    }
    return people;
}
