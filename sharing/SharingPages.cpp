#include "sharing/SharingPages.h"

#include "core/AppDelegate.h"

#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace {

const QString kAllName = QStringLiteral("All");

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

// A link target: each path segment percent-encoded as UTF-8.
QString encodedPath(const QString& path)
{
    QStringList segments = path.split(QLatin1Char('/'));
    for (QString& segment : segments)
        segment = QString::fromLatin1(QUrl::toPercentEncoding(segment));
    return segments.join(QLatin1Char('/'));
}

QString shownCategory(const QString& name)
{
    return name == QLatin1String(kAllRecordingsCategory) ? kAllName : name;
}

} // namespace

QByteArray SharingPages::categoriesContent(const LibrarySnapshot& library)
{
    QString html = QStringLiteral("<html><body><div id=\"categories\"><ul>\n");
    for (const QString& name : library.categories) {
        const QString shown = shownCategory(name);
        html += QStringLiteral("<li><a href=\"/Category/%1\">%2</a></li>\n")
                    .arg(encodedPath(shown), escaped(shown));
    }
    html += QStringLiteral("</ul></div></body></html>\n");
    return html.toUtf8();
}

QByteArray SharingPages::filesContent(const LibrarySnapshot& library, const QString& documentsPath,
                                      const QString& category)
{
    QString html = QStringLiteral("<html><body><div id=\"files\">\n");
    html +=
        QStringLiteral("<table>\n<caption>%1</caption>\n<tr><th>Track Name:</th><th>Recorded:</th>"
                       "<th>Duration:</th><th>Size:</th><th>Category:</th><th>Location:</th>"
                       "<th>Quality:</th><th>File Type:</th><th>Channels:</th></tr>\n")
            .arg(escaped(category.isNull() ? QStringLiteral("(no category selected)") : category));
    if (!category.isNull()) {
        const bool all = category == kAllName;
        for (const LibrarySnapshot::RecordingEntry& recording : library.recordings) {
            if (recording.hideFromWebSharing || (!all && recording.category != category))
                continue;
            const qint64 size =
                QFileInfo(documentsPath + QLatin1Char('/') + recording.filename).size();
            html += QStringLiteral("<tr><td><a href=\"/Documents/") +
                    encodedPath(recording.filename) + QStringLiteral("\">") +
                    escaped(recording.name) + QStringLiteral("</a></td>\n<td>") +
                    escaped(recording.dateText) + QStringLiteral("</td>\n<td>") +
                    QString::asprintf("%0.1fs", recording.duration) +
                    QStringLiteral("</td>\n<td>") + QString::number(size) +
                    QStringLiteral("</td>\n<td>") + escaped(shownCategory(recording.category)) +
                    QStringLiteral("</td>\n<td>") +
                    escaped(recording.locationString.isNull() ? QStringLiteral("unknown")
                                                              : recording.locationString) +
                    QStringLiteral("</td>\n<td>") + escaped(recording.quality) +
                    QStringLiteral("</td>\n<td>wav</td>\n<td>mono</td>\n</tr>\n");
        }
    }
    html += QStringLiteral("</table></div></body></html>\n");
    return html.toUtf8();
}
