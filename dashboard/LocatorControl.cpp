// SPDX-License-Identifier: GPL-3.0-or-later
#include "dashboard/LocatorControl.h"

#include <cmath>

void LocatorControl::setValue(float value)
{
    m_value = value;
    announce();
}

void LocatorControl::incrementValue()
{
    m_value += m_increment;
    if (m_value > m_max)
        m_value = m_max;
    if (m_value < m_min)
        m_value = m_min;
    settleIfNotANumber();
    announce();
}

void LocatorControl::decrementValue()
{
    m_value -= m_increment;
    if (m_value < m_min)
        m_value = m_min;
    if (m_value > m_max)
        m_value = m_max;
    settleIfNotANumber();
    announce();
}

// A value that is not a number passes every comparison above untouched and would stay stuck
// there; a step lands it on the minimum instead, so the wheel can move it again.
void LocatorControl::settleIfNotANumber()
{
    if (std::isnan(m_value))
        m_value = m_min;
}

void LocatorControl::announce()
{
    if (m_delegate)
        m_delegate->locatorValueChanged(m_value);
}
