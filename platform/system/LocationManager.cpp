// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/LocationManager.h"

#include "platform/system/PlatformSystemLog.h"
#include "platform/system/SettingsKeys.h"

#include <QCoreApplication>
#include <QGeoPositionInfo>
#include <QGeoPositionInfoSource>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>

namespace {

QString describe(QGeoPositionInfoSource::Error error)
{
    switch (error) {
    case QGeoPositionInfoSource::AccessError:
        return QStringLiteral("the location service refused this program access");
    case QGeoPositionInfoSource::ClosedError:
        return QStringLiteral("the location service is not running or closed the connection");
    case QGeoPositionInfoSource::UpdateTimeoutError:
        return QStringLiteral("no fix came in time");
    case QGeoPositionInfoSource::UnknownSourceError:
        return QStringLiteral("the source failed");
    case QGeoPositionInfoSource::NoError:
        break;
    }
    return QString();
}

} // namespace

LocationManager::LocationManager(std::optional<Location> fix, QObject* parent)
    : LocationManager(Source{}, fix, 0, parent)
{
}

LocationManager::LocationManager(Source source, std::optional<Location> fallback,
                                 int fallbackDelayMs, QObject* parent)
    : QObject(parent)
    , m_source(std::move(source))
    , m_fallback(fallback)
    , m_fallbackDelayMs(fallbackDelayMs)
{
    m_fallbackTimer = new QTimer(this);
    m_fallbackTimer->setSingleShot(true);
    connect(m_fallbackTimer, &QTimer::timeout, this, [this] {
        qCInfo(lcPlatformSystem).noquote()
            << QStringLiteral("Location: no fix from %1 within %2 s; using the position in the "
                              "settings")
                   .arg(m_source.name, QString::number(m_fallbackDelayMs / 1000.0));
        useFallback();
    });
}

LocationManager::~LocationManager()
{
    stopSource();
}

LocationManager::Source LocationManager::parseSource(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Source{QString::fromLatin1(kDefaultSourceName), {}, {}};
    if (trimmed.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return Source{};

    Source source;
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    source.name = trimmed.left(colon < 0 ? trimmed.size() : colon).trimmed();
    static const QRegularExpression namePattern(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    if (!namePattern.match(source.name).hasMatch()) {
        source.error = QStringLiteral("\"%1\" does not start with a source name").arg(trimmed);
        source.name.clear();
        return source;
    }
    if (colon < 0)
        return source;
    const QStringList parts = trimmed.mid(colon + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        const QString key = part.left(equals).trimmed();
        if (equals < 0 || key.isEmpty()) {
            source.error =
                QStringLiteral("\"%1\" is not a parameter of the form KEY=VALUE").arg(part);
            source.name.clear();
            source.parameters.clear();
            return source;
        }
        const QString value = part.mid(equals + 1).trimmed();
        // Qt's sources differ in how they name their parameters ("nmea.source", "desktopId"):
        // a plain key is handed over both as written and with the source's name before it.
        source.parameters.insert(key, value);
        if (!key.contains(QLatin1Char('.')))
            source.parameters.insert(source.name + QLatin1Char('.') + key, value);
    }
    return source;
}

std::optional<Location> LocationManager::settingsPosition(QSettings& settings)
{
    bool latOk = false;
    bool lngOk = false;
    const double lat = settings.value(QLatin1String(kLocationLatitudeKey)).toDouble(&latOk);
    const double lng = settings.value(QLatin1String(kLocationLongitudeKey)).toDouble(&lngOk);
    if (latOk && lngOk && lat >= -90 && lat <= 90 && lng >= -180 && lng <= 180)
        return Location{lat, lng};
    return std::nullopt;
}

std::shared_ptr<LocationManager> LocationManager::fromSettings(QSettings& settings)
{
    // A hand-written value with a comma reads back as a list; it is one text all the same.
    const QVariant value = settings.value(QLatin1String(kLocationSourceKey));
    const QString text = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    Source source = parseSource(text);
    if (!source.error.isEmpty())
        qCWarning(lcPlatformSystem).noquote()
            << "Location: the setting location_source is not understood:" << source.error
            << "- only the position in the settings is used";
    return std::make_shared<LocationManager>(std::move(source), settingsPosition(settings));
}

bool LocationManager::sourceInstalled() const
{
    return !m_source.name.isEmpty() &&
           QGeoPositionInfoSource::availableSources().contains(m_source.name);
}

bool LocationManager::locationServicesEnabled() const
{
    return m_fallback.has_value() || sourceInstalled();
}

void LocationManager::startUpdatingLocation()
{
    if (m_updating || !locationServicesEnabled())
        return;
    m_updating = true;
    if (sourceInstalled()) {
        startSource();
        return;
    }
    if (!m_source.name.isEmpty())
        qCWarning(lcPlatformSystem).noquote()
            << QStringLiteral("Location: there is no positioning source \"%1\" (installed: %2); "
                              "using the position in the settings")
                   .arg(m_source.name,
                        QGeoPositionInfoSource::availableSources().join(QLatin1String(", ")));
    // Delivered from the event loop, as a service's first fix would be.
    QTimer::singleShot(0, this, [this] { useFallback(); });
}

void LocationManager::startSource()
{
    QVariantMap parameters = m_source.parameters;
    if (m_source.name == QLatin1String("geoclue2") &&
        !parameters.contains(QStringLiteral("desktopId"))) {
        // GeoClue grants access by the application's desktop entry.
        QString id = QCoreApplication::instance()
                         ? QCoreApplication::instance()->property("desktopFileName").toString()
                         : QString();
        if (id.isEmpty())
            id = QCoreApplication::applicationName();
        parameters.insert(QStringLiteral("desktopId"), id);
    }
    m_positionSource = QGeoPositionInfoSource::createSource(m_source.name, parameters, this);
    if (!m_positionSource) {
        sourceFailed(QStringLiteral("Qt Positioning could not open it"));
        return;
    }
    connect(m_positionSource, &QGeoPositionInfoSource::positionUpdated, this,
            &LocationManager::positionUpdated);
    connect(m_positionSource, &QGeoPositionInfoSource::errorOccurred, this,
            [this](QGeoPositionInfoSource::Error error) {
                if (error == QGeoPositionInfoSource::NoError)
                    return;
                // A slow first fix is no failure while there is nothing better to wait for.
                if (error == QGeoPositionInfoSource::UpdateTimeoutError && !m_fallback)
                    return;
                sourceFailed(describe(error));
            });
    if (m_fallback)
        m_fallbackTimer->start(m_fallbackDelayMs);
    qCInfo(lcPlatformSystem).noquote() << "Location: asking" << m_source.name << "for a fix";
    m_positionSource->startUpdates();
}

void LocationManager::positionUpdated(const QGeoPositionInfo& info)
{
    if (!info.isValid() || !info.coordinate().isValid())
        return;
    deliver(Location{info.coordinate().latitude(), info.coordinate().longitude()}, true);
}

void LocationManager::sourceFailed(const QString& reason)
{
    if (!m_updating)
        return;
    stopSource();
    if (m_fallback) {
        qCWarning(lcPlatformSystem).noquote()
            << QStringLiteral("Location: %1 gives no fix (%2); using the position in the settings")
                   .arg(m_source.name, reason);
        QTimer::singleShot(0, this, [this] { useFallback(); });
        return;
    }
    qCWarning(lcPlatformSystem).noquote()
        << QStringLiteral("Location: %1 gives no fix (%2), and the settings hold no position; "
                          "nothing is stamped in this run")
               .arg(m_source.name, reason);
    m_updating = false;
}

void LocationManager::useFallback()
{
    if (!m_updating || !m_fallback)
        return;
    stopSource();
    deliver(*m_fallback, false);
}

void LocationManager::deliver(const Location& location, bool fromSource)
{
    // The delegate may wait for the network inside its callback, with the event loop running:
    // fixes that arrive meanwhile are not handed to it a second time.
    if (!m_updating || m_delivering)
        return;
    m_delivering = true;
    m_fallbackTimer->stop();
    m_lastFixFromSource = fromSource;
    const Location previous = m_previous;
    m_previous = location;
    if (fromSource)
        qCInfo(lcPlatformSystem).noquote() << "Location: a fix from" << m_source.name;
    if (didUpdateToLocation)
        didUpdateToLocation(this, location, previous);
    m_delivering = false;
}

void LocationManager::stopUpdatingLocation()
{
    m_updating = false;
    m_fallbackTimer->stop();
    stopSource();
}

void LocationManager::stopSource()
{
    if (!m_positionSource)
        return;
    QGeoPositionInfoSource* source = m_positionSource;
    m_positionSource = nullptr;
    source->disconnect(this);
    source->stopUpdates();
    // Possibly inside one of its own signals: deleted once that has returned.
    source->deleteLater();
}
