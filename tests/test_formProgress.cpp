#include "form/ProgressText.h"

#include <gtest/gtest.h>

using namespace vidlume;

TEST(ProgressText, sizesReadInTheLargestUnitBelowTheirValue)
{
    EXPECT_EQ(form::dataSizeText(0), "0 bytes");
    EXPECT_EQ(form::dataSizeText(1023), "1023 bytes");
    EXPECT_EQ(form::dataSizeText(1024), "1.0 KiB");
    EXPECT_EQ(form::dataSizeText(1536), "1.5 KiB");
    EXPECT_EQ(form::dataSizeText(1024 * 1024 - 1), "1.0 MiB"); // not "1024.0 KiB"
    EXPECT_EQ(form::dataSizeText(290ull * 1024 * 1024), "290.0 MiB");
    EXPECT_EQ(form::dataSizeText(3ull << 40), "3.0 TiB");
    EXPECT_EQ(form::dataSizeText(5000ull << 40), "5000.0 TiB");
}

TEST(ProgressText, namesThePhaseTheFileAndTheBytes)
{
    PublishProgress progress{"holiday.flv", 1536, 3072, PublishPhase::Copying};
    EXPECT_EQ(form::progressText(progress), "Copying holiday.flv\n1.5 KiB of 3.0 KiB");
    EXPECT_EQ(form::progressSteps(progress, 1000), 500);
    progress.phase = PublishPhase::Converting;
    progress.fileName = "holiday.mp4";
    EXPECT_EQ(form::progressText(progress).substr(0, 36), "Converting for browsers holiday.mp4\n");
}

TEST(ProgressText, stepsStayInRangeWhateverTheCountsSay)
{
    EXPECT_EQ(form::progressSteps({"a", 10, 0, PublishPhase::Copying}, 1000), 0);
    EXPECT_EQ(form::progressSteps({"a", 20, 10, PublishPhase::Copying}, 1000), 1000);
    EXPECT_EQ(form::progressSteps({"a", 10, 10, PublishPhase::Copying}, 1000), 1000);
}

TEST(ProgressText, timeLeftOnceThePaceIsKnown)
{
    const PublishProgress quarter{"holiday.flv", 25, 100, PublishPhase::Copying};
    EXPECT_FALSE(form::secondsLeft(quarter, 999)); // too early to tell
    EXPECT_EQ(form::secondsLeft(quarter, 10000), 30u);
    EXPECT_FALSE(form::secondsLeft({"holiday.flv", 0, 100, PublishPhase::Copying}, 5000));
    EXPECT_FALSE(form::secondsLeft({"holiday.flv", 100, 100, PublishPhase::Copying}, 5000));
    EXPECT_EQ(form::timeLeftText(0), "About 1 second left");
    EXPECT_EQ(form::timeLeftText(45), "About 45 seconds left");
    EXPECT_EQ(form::timeLeftText(89), "About 1 minute left");
    EXPECT_EQ(form::timeLeftText(150), "About 3 minutes left");
    EXPECT_EQ(form::timeLeftText(7500), "About 2 hours 5 min left");
}
