#include "platform/system/LocationManager.h"
#include "platform/system/SettingsKeys.h"

#include <QSettings>
#include <QTimer>

LocationManager::LocationManager(std::optional<Location> fix, QObject* parent)
    : QObject(parent)
    , m_fix(fix)
{
}

std::shared_ptr<LocationManager> LocationManager::fromSettings(QSettings& settings)
{
    bool latOk = false;
    bool lngOk = false;
    const double lat = settings.value(QLatin1String(kLocationLatitudeKey)).toDouble(&latOk);
    const double lng = settings.value(QLatin1String(kLocationLongitudeKey)).toDouble(&lngOk);
    const bool valid = latOk && lngOk && lat >= -90 && lat <= 90 && lng >= -180 && lng <= 180;
    return std::make_shared<LocationManager>(valid ? std::optional<Location>(Location{lat, lng})
                                                   : std::nullopt);
}

void LocationManager::startUpdatingLocation()
{
    if (m_updating || !m_fix)
        return;
    m_updating = true;
    QTimer::singleShot(0, this, [this] {
        if (m_updating && didUpdateToLocation)
            didUpdateToLocation(this, *m_fix, Location{});
    });
}

void LocationManager::stopUpdatingLocation()
{
    m_updating = false;
}
