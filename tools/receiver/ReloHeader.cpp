// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReloHeader.h"

namespace {

constexpr char kVersionLine[] = "RELO/1.0";
// Longer numbers cannot be a file size (and could not be held).
constexpr qsizetype kMostDigits = 18;

} // namespace

ReloHeader::Status ReloHeader::invalid(const QString& error)
{
    m_error = error;
    return Status::Invalid;
}

ReloHeader::Status ReloHeader::parse(const QByteArray& bytes)
{
    m_contentType.clear();
    m_contentName.clear();
    m_contentLengthText.clear();
    m_contentLength = -1;
    m_size = 0;
    m_error.clear();

    const QByteArray version = QByteArray(kVersionLine) + '\n';
    if (!bytes.startsWith(version)) {
        if (version.startsWith(bytes))
            return Status::Incomplete;
        return invalid(QStringLiteral("not a RELO/1.0 push"));
    }
    qsizetype position = version.size();
    bool sawType = false;
    bool sawName = false;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', position);
        if (end < 0) {
            if (bytes.size() > kMaxSize)
                return invalid(QStringLiteral("header longer than 16 KiB"));
            return Status::Incomplete;
        }
        if (end + 1 > kMaxSize)
            return invalid(QStringLiteral("header longer than 16 KiB"));
        const QByteArray line = bytes.mid(position, end - position);
        position = end + 1;
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return invalid(QStringLiteral("a header line without a field name"));
        const QByteArray key = line.left(colon);
        QByteArray value = line.mid(colon + 1);
        if (value.startsWith(' '))
            value.remove(0, 1);
        if (key == "Content-Type") {
            if (sawType)
                return invalid(QStringLiteral("Content-Type given twice"));
            sawType = true;
            m_contentType = QString::fromUtf8(value);
        } else if (key == "Content-Name") {
            if (sawName)
                return invalid(QStringLiteral("Content-Name given twice"));
            sawName = true;
            m_contentName = QString::fromUtf8(value);
        } else if (key == "Content-Length") {
            m_contentLengthText = QString::fromUtf8(value);
            bool digitsOnly = !value.isEmpty() && value.size() <= kMostDigits;
            for (const char c : value)
                digitsOnly = digitsOnly && c >= '0' && c <= '9';
            if (digitsOnly)
                m_contentLength = value.toLongLong();
            break;
        }
    }
    m_size = position;
    return Status::Complete;
}
