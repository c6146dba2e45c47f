// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ReverseGeo.h"

#include "core/CoreLog.h"
#include "platform/net/UrlConnection.h"
#include "platform/net/UrlLoader.h"
#include "platform/system/Location.h"
#include "platform/system/SettingsKeys.h"

#include <QSettings>
#include <QUrl>
#include <QXmlStreamReader>

ReverseGeo::ReverseGeo(QSettings& settings, int timeoutMs, QObject* parent)
    : QObject(parent)
    , m_baseUrl(
          settings.value(QLatin1String(kGeonamesUrlKey), QStringLiteral("http://api.geonames.org"))
              .toString())
    , m_username(settings.value(QLatin1String(kGeonamesUsernameKey)).toString())
    , m_timeoutMs(timeoutMs)
{
    while (m_baseUrl.endsWith(QLatin1Char('/')))
        m_baseUrl.chop(1);
}

ReverseGeo::~ReverseGeo() = default;

void ReverseGeo::getStringFromLocation(const Location& location, Done done)
{
    getStringFromLatitudeAndLongitude(float(location.latitude), float(location.longitude),
                                      std::move(done));
}

void ReverseGeo::getStringFromLatitudeAndLongitude(float lat, float lng, Done done)
{
    delete m_lookup;
    currentElement.clear();
    city.clear();
    state.clear();
    postalCode.clear();
    country.clear();
    stop = false;

    QString query = QString::asprintf("lat=%f&lng=%f", double(lat), double(lng));
    if (!m_username.isEmpty())
        query +=
            QStringLiteral("&username=") + QString::fromLatin1(QUrl::toPercentEncoding(m_username));
    const QUrl url(m_baseUrl + QStringLiteral("/findNearbyPostalCodes?") + query);
    m_lookup = UrlLoader::get(
        url, m_timeoutMs, this, [this, done = std::move(done)](const UrlLoader::Result& reply) {
            m_lookup = nullptr; // over; `done` may start the next one
            if (reply.ok)
                parse(reply.body);
            else
                qCWarning(lcCore).noquote() << "ReverseGeo: lookup failed:" << reply.error;
            if (done)
                done(placeText());
        });
}

void ReverseGeo::parse(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            parserDidStartElement(reader.name().toString());
            break;
        case QXmlStreamReader::EndElement:
            parserDidEndElement(reader.name().toString());
            break;
        case QXmlStreamReader::Characters:
            parserFoundCharacters(reader.text().toString());
            break;
        default:
            break;
        }
    }
}

void ReverseGeo::parserDidStartElement(const QString& elementName)
{
    currentElement = elementName;
}

void ReverseGeo::parserDidEndElement(const QString& elementName)
{
    currentElement.clear();
    if (elementName == QLatin1String("code"))
        stop = true;
}

void ReverseGeo::parserFoundCharacters(const QString& characters)
{
    if (stop)
        return;
    if (currentElement == QLatin1String("postalcode"))
        postalCode += characters;
    else if (currentElement == QLatin1String("name"))
        city += characters;
    else if (currentElement == QLatin1String("adminCode1"))
        state += characters;
    else if (currentElement == QLatin1String("countryCode"))
        country += characters;
}

QString ReverseGeo::placeText() const
{
    if (city.isEmpty() && state.isEmpty() && postalCode.isEmpty() && country.isEmpty())
        return QStringLiteral("Not Available");
    QString text = QStringLiteral("%1 %2 %3 %4").arg(city, state, postalCode, country);
    text.remove(QLatin1Char('\n'));
    text.replace(QLatin1String("  "), QLatin1String(" "));
    return text;
}
