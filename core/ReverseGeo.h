#pragma once

#include <QString>

class QSettings;
struct Location;

// Turns a position into a short place text ("City State PostalCode Country") with the GeoNames
// nearby-postal-code lookup. The reply is read event by event; only the first result block
// counts. Any failure gives "Not Available".
class ReverseGeo
{
public:
    // The service's base URL and account name come from the settings "geonames_url" (default
    // http://api.geonames.org) and "geonames_username".
    explicit ReverseGeo(QSettings& settings, int timeoutMs = 10000);

    QString getStringFromLocation(const Location& location);
    QString getStringFromLatitudeAndLongitude(float lat, float lng);

    // The parser's callbacks.
    void parserDidStartElement(const QString& elementName);
    void parserDidEndElement(const QString& elementName);
    void parserFoundCharacters(const QString& characters);

    // Feeds an XML reply through the callbacks, as the fetch does.
    void parse(const QByteArray& xml);
    // The place text from what the callbacks collected.
    QString placeText() const;

private:
    QString m_baseUrl;
    QString m_username;
    int m_timeoutMs;

    QString currentElement;
    bool stop = false;
    QString city;
    QString state;
    QString postalCode;
    QString country;
};
