// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QSettings;
class UrlConnection;
struct Location;

// Turns a position into a short place text ("City State PostalCode Country") with the GeoNames
// nearby-postal-code lookup. The reply is read event by event; only the first result block
// counts. Any failure gives "Not Available".
//
// The lookup never holds the event loop: its answer comes back through the event loop, after
// the time-out at the latest. Deleting the object ends a lookup under way without an answer.
class ReverseGeo : public QObject
{
    Q_OBJECT
public:
    // Gets the place text of a lookup.
    using Done = std::function<void(const QString& place)>;

    // How long a lookup waits for the whole answer.
    static constexpr int kTimeoutMs = 10000;

    // The service's base URL and account name come from the settings "geonames_url" (default
    // http://api.geonames.org) and "geonames_username".
    explicit ReverseGeo(QSettings& settings, int timeoutMs = kTimeoutMs, QObject* parent = nullptr);
    ~ReverseGeo() override;

    // Starts a lookup whose place text goes to `done`. One started while another is under way
    // replaces it; the earlier one's `done` is not called.
    void getStringFromLocation(const Location& location, Done done);
    void getStringFromLatitudeAndLongitude(float lat, float lng, Done done);
    bool isLookingUp() const { return !m_lookup.isNull(); }

    // The parser's callbacks.
    void parserDidStartElement(const QString& elementName);
    void parserDidEndElement(const QString& elementName);
    void parserFoundCharacters(const QString& characters);

    // Feeds an XML reply through the callbacks, as the lookup does.
    void parse(const QByteArray& xml);
    // The place text from what the callbacks collected.
    QString placeText() const;

private:
    QString m_baseUrl;
    QString m_username;
    int m_timeoutMs;
    QPointer<UrlConnection> m_lookup; // the request under way

    QString currentElement;
    bool stop = false;
    QString city;
    QString state;
    QString postalCode;
    QString country;
};
