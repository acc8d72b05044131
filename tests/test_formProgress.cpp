#include "form/ProgressText.h"

#include <gtest/gtest.h>

using namespace vidlume;

TEST(ProgressText, sizesReadInTheLargestUnitBelowTheirValue)
{
    EXPECT_EQ(form::dataSizeText(0), "0 bytes");
    EXPECT_EQ(form::dataSizeText(1023), "1023 bytes");
    EXPECT_EQ(form::dataSizeText(1024), "1.0 KB");
    EXPECT_EQ(form::dataSizeText(1536), "1.5 KB");
    EXPECT_EQ(form::dataSizeText(1024 * 1024 - 1), "1.0 MB"); // not "1024.0 KB"
    EXPECT_EQ(form::dataSizeText(290ull * 1024 * 1024), "290.0 MB");
    EXPECT_EQ(form::dataSizeText(3ull << 40), "3.0 TB");
    EXPECT_EQ(form::dataSizeText(5000ull << 40), "5000.0 TB");
}

TEST(ProgressText, namesThePhaseTheFileAndTheBytes)
{
    PublishProgress progress{"holiday.flv", 1536, 3072, PublishPhase::Copying};
    EXPECT_EQ(form::progressText(progress), "Copying holiday.flv\n1.5 KB of 3.0 KB");
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
