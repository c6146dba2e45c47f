#include "DashboardTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

using sonavell::test::RecordingDelegate;

namespace {

class LocatorControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        control.setMin(0.0f);
        control.setMax(2.0f);
        control.setIncrement(0.5f);
        control.setDelegate(&delegate);
    }

    LocatorControl control;
    RecordingDelegate delegate;
};

TEST_F(LocatorControlTest, StepsClampAtTheBoundsAndAnnounceEveryCallEvenWithoutChange)
{
    control.setValue(1.5f);
    control.incrementValue();
    control.incrementValue(); // already at the maximum
    EXPECT_FLOAT_EQ(control.value(), 2.0f);
    control.setValue(0.25f);
    control.decrementValue();
    control.decrementValue(); // already at the minimum
    EXPECT_FLOAT_EQ(control.value(), 0.0f);
    EXPECT_EQ(delegate.calls, QStringList({"locatorValueChanged(1.5)", "locatorValueChanged(2)",
                                           "locatorValueChanged(2)", "locatorValueChanged(0.25)",
                                           "locatorValueChanged(0)", "locatorValueChanged(0)"}));
}

TEST_F(LocatorControlTest, SetValueDoesNotClampButTheNextStepDoes)
{
    control.setMin(1.0f);
    control.setValue(0.0f); // as the wheel's double tap does, below the minimum
    EXPECT_FLOAT_EQ(control.value(), 0.0f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.0f);

    control.setValue(9.0f);
    control.decrementValue();
    EXPECT_FLOAT_EQ(control.value(), 2.0f);
}

TEST_F(LocatorControlTest, NegativeIncrementMovesUpwardStepsDown)
{
    control.setValue(1.0f);
    control.setIncrement(-0.75f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 0.25f);
    control.decrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.0f);
}

TEST_F(LocatorControlTest, NoRecordingLoadedPinsEveryStepToZero)
{
    control.setMax(0.0f);
    control.setValue(0.0f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 0.0f);
    control.decrementValue();
    EXPECT_FLOAT_EQ(control.value(), 0.0f);
}

TEST_F(LocatorControlTest, StepFromAValueThatIsNotANumberLandsOnTheMinimum)
{
    control.setMin(0.5f);
    control.setValue(std::numeric_limits<float>::quiet_NaN());
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 0.5f);
    control.setValue(std::numeric_limits<float>::quiet_NaN());
    control.decrementValue();
    EXPECT_FLOAT_EQ(control.value(), 0.5f);
}

TEST_F(LocatorControlTest, WithoutADelegateNothingIsSentAndTheValueStillMoves)
{
    control.setDelegate(nullptr);
    control.setValue(1.0f);
    control.incrementValue();
    EXPECT_FLOAT_EQ(control.value(), 1.5f);
    EXPECT_TRUE(delegate.calls.isEmpty());
}

} // namespace
