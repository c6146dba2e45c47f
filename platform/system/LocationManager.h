// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/system/Location.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QGeoPositionInfo;
class QGeoPositionInfoSource;
class QSettings;
class QTimer;

// The source of the one position fix a run takes: a Qt Positioning source (GeoClue2 unless the
// setting "location_source" names another), falling back to the settings "location_latitude"
// and "location_longitude" when that source is missing, fails, or has given no fix within the
// fallback delay. With neither a source nor a settings position, location services count as
// disabled and no fix ever arrives. Updates are delivered from the event loop, like a real
// location service's callbacks.
class LocationManager : public QObject
{
    Q_OBJECT
public:
    // What the setting "location_source" names: a source and the parameters handed to it.
    struct Source
    {
        QString name; // empty: no positioning service, the settings position only
        QVariantMap parameters;
        QString error; // why the text could not be read; empty when it could
    };
    // The default source when the setting is absent or empty.
    static constexpr const char* kDefaultSourceName = "geoclue2";
    // How long a source may take for its first fix before the settings position stands in.
    static constexpr int kDefaultFallbackDelayMs = 60000;

    // A manager whose only position is `fix` (none: location services disabled).
    explicit LocationManager(std::optional<Location> fix, QObject* parent = nullptr);
    // A manager over the Qt Positioning source `source`, with `fallback` for when it gives none.
    LocationManager(Source source, std::optional<Location> fallback,
                    int fallbackDelayMs = kDefaultFallbackDelayMs, QObject* parent = nullptr);
    ~LocationManager() override;
    static std::shared_ptr<LocationManager> fromSettings(QSettings& settings);

    // Reads a "location_source" text: "NAME", or "NAME:KEY=VALUE[&KEY=VALUE...]". A key without
    // a dot is the source's own parameter and gets the name as prefix ("nmea:source=..." hands
    // "nmea.source" to the source); a key with a dot is passed as written. "none" names no
    // source; an empty text names the default source.
    static Source parseSource(const QString& text);
    // The position the settings give, when both values are numbers within range.
    static std::optional<Location> settingsPosition(QSettings& settings);

    bool locationServicesEnabled() const;
    void startUpdatingLocation();
    void stopUpdatingLocation();
    bool isUpdating() const { return m_updating; }

    const Source& source() const { return m_source; }
    // Whether the last delivered fix came from the positioning source (not the fallback).
    bool lastFixFromSource() const { return m_lastFixFromSource; }

    // The delegate's update callback: (manager, new location, previous location).
    std::function<void(LocationManager*, const Location&, const Location&)> didUpdateToLocation;

private:
    bool sourceInstalled() const;
    void startSource();
    void positionUpdated(const QGeoPositionInfo& info);
    void sourceFailed(const QString& reason);
    void useFallback();
    void deliver(const Location& location, bool fromSource);
    void stopSource();

    Source m_source;
    std::optional<Location> m_fallback;
    int m_fallbackDelayMs;
    QPointer<QGeoPositionInfoSource> m_positionSource;
    QTimer* m_fallbackTimer = nullptr;
    bool m_updating = false;
    bool m_delivering = false;
    bool m_lastFixFromSource = false;
    Location m_previous;
};
