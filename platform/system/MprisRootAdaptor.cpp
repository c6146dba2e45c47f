// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/MprisRootAdaptor.h"

#include "platform/system/MediaPlayer2Service.h"

MprisRootAdaptor::MprisRootAdaptor(MediaPlayer2Service* service)
    : QDBusAbstractAdaptor(service)
    , m_service(service)
{
}

bool MprisRootAdaptor::canRaise() const
{
    return bool(m_service->handlers().raise);
}

QString MprisRootAdaptor::identity() const
{
    return m_service->identity();
}

QString MprisRootAdaptor::desktopEntry() const
{
    return m_service->desktopEntry();
}

void MprisRootAdaptor::Raise()
{
    if (m_service->handlers().raise)
        m_service->handlers().raise();
}
