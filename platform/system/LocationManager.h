#pragma once

#include "platform/system/Location.h"

#include <QObject>

#include <functional>
#include <optional>

class QSettings;

// The source of the one position fix a run takes. Without a positioning service built in, the
// fix comes from the settings "location_latitude" and "location_longitude"; with neither set,
// location services count as disabled and no fix ever arrives. Updates are delivered from the
// event loop, like a real location service's callbacks.
class LocationManager : public QObject
{
    Q_OBJECT
public:
    explicit LocationManager(std::optional<Location> fix, QObject* parent = nullptr);
    static std::shared_ptr<LocationManager> fromSettings(QSettings& settings);

    bool locationServicesEnabled() const { return m_fix.has_value(); }
    void startUpdatingLocation();
    void stopUpdatingLocation();
    bool isUpdating() const { return m_updating; }

    // The delegate's update callback: (manager, new location, previous location).
    std::function<void(LocationManager*, const Location&, const Location&)> didUpdateToLocation;

private:
    std::optional<Location> m_fix;
    bool m_updating = false;
};
