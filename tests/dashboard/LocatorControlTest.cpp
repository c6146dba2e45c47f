// SPDX-License-Identifier: GPL-3.0-or-later
#include "DashboardTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using sonavell::test::RecordingDelegate;

TEST(LocatorControlTest, StepsClampAndAnnounceEveryCallEvenWithoutChange)
{
    RecordingDelegate delegate;
    LocatorControl control;
    control.setMax(2.0f);
    control.setIncrement(0.5f);
    control.setDelegate(&delegate);

    control.setValue(1.5f);
    control.incrementValue();
    control.incrementValue(); // already at the maximum
    control.setValue(0.25f);
    control.decrementValue();
    EXPECT_EQ(delegate.calls, QStringList({"locatorValueChanged(1.5)", "locatorValueChanged(2)",
                                           "locatorValueChanged(2)", "locatorValueChanged(0.25)",
                                           "locatorValueChanged(0)"}));

    // setValue stores anything, as the wheel's double tap does below a raised minimum; the next
    // step clamps. A negative increment turns the steps round.
    control.setMin(1.0f);
    control.setValue(0.0f);
    EXPECT_FLOAT_EQ(control.value(), 0.0f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.0f);
    control.setIncrement(-0.75f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.0f);
    control.decrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.75f);

    // A step from a value that is not a number lands on the minimum, either way.
    control.setIncrement(0.5f);
    control.setMin(0.5f);
    for (bool up : {true, false}) {
        control.setValue(std::numeric_limits<float>::quiet_NaN());
        up ? control.incrementValue() : control.decrementValue();
        EXPECT_FLOAT_EQ(control.value(), 0.5f) << up;
    }
}
