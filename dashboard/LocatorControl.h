// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class LocatorControl;

// Receives every change of the locator value. The default does nothing, so a receiver that
// does not care about the value simply does not override it.
class LocatorControlDelegate
{
public:
    virtual ~LocatorControlDelegate() = default;
    virtual void locatorValueChanged(float value) { (void)value; }
};

// The locator value: seconds into the loaded recording, between a minimum and a maximum, moved
// in steps by the jog wheel and set directly by the recorder screen. Every setValue and every
// step announces the (possibly unchanged) value to the delegate.
class LocatorControl
{
public:
    LocatorControl() = default;

    float min() const { return m_min; }
    void setMin(float min) { m_min = min; }
    float max() const { return m_max; }
    void setMax(float max) { m_max = max; }
    float increment() const { return m_increment; }
    // May be negative: incrementValue then moves the value down.
    void setIncrement(float increment) { m_increment = increment; }
    float value() const { return m_value; }

    // Stores the value as given, without clamping; the next step clamps it.
    void setValue(float value);
    // One step up (down) by the increment, clamped to the maximum first and then the minimum
    // (minimum first and then maximum for a step down). A step from a value that is not a
    // number lands on the minimum.
    void incrementValue();
    void decrementValue();

    LocatorControlDelegate* delegate() const { return m_delegate; }
    // The delegate is not owned and must outlive the control or be cleared first.
    void setDelegate(LocatorControlDelegate* delegate) { m_delegate = delegate; }

private:
    void settleIfNotANumber();
    void announce();

    float m_min = 0.0f;
    float m_max = 0.0f;
    float m_value = 0.0f;
    float m_increment = 0.0f;
    LocatorControlDelegate* m_delegate = nullptr;
};
