#include "app/Error.h"
#include "form/BackgroundGeneration.h"
#include "form/ProgressText.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

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
    EXPECT_EQ(form::progressText(progress).substr(0, 36), "Converting holiday.flv for browsers\n");
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

namespace {

using namespace std::chrono_literals;

/// A clock that moves only when the test moves it.
struct TestClock
{
    std::chrono::steady_clock::time_point now{};
    form::BackgroundGeneration::Clock function()
    {
        return [this] { return now; };
    }
};

/// A generation that reports what it is told, then waits until the test lets it
/// finish or the generation is cancelled.
struct HeldGeneration
{
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<PublishProgress> report;
    bool release = false;
    bool sawCancel = false;

    form::PublishFunction function()
    {
        return [this](const PageInputs&, const std::string&, const PublishControl& control) {
            std::unique_lock lock(mutex);
            for (;;) {
                if (report) {
                    control.onProgress(*report);
                    report.reset();
                    changed.notify_all();
                }
                if (control.cancelRequested()) {
                    sawCancel = true;
                    throw PublishCancelled();
                }
                if (release)
                    return PublishResult{"/out/holiday", {}, {}};
                changed.wait_for(lock, 5ms);
            }
        };
    }
    void reportAndWait(const PublishProgress& progress)
    {
        std::unique_lock lock(mutex);
        report = progress;
        changed.wait(lock, [this] { return !report; });
    }
};

} // namespace

TEST(BackgroundGeneration, givesTheResultOrRethrowsTheErrorOnTheCallersThread)
{
    PageInputs inputs;
    inputs.videoFile = "holiday.flv";
    form::BackgroundGeneration good(
        [](const PageInputs& inputs, const std::string& folder, const PublishControl&) {
            return PublishResult{folder + "/" + inputs.videoFile, {}, {}};
        },
        inputs, "/out");
    EXPECT_EQ(good.result().folder, "/out/holiday.flv");
    EXPECT_TRUE(good.finished());

    bool woken = false;
    form::BackgroundGeneration bad(
        [](const PageInputs&, const std::string&, const PublishControl&) -> PublishResult {
            throw Error("Stream write error");
        },
        {}, "/out", [&woken] { woken = true; });
    EXPECT_THROW(bad.result(), Error);
    EXPECT_TRUE(woken);
}

TEST(BackgroundGeneration, aWindowThatGoesAwayCancelsAndWaitsForTheGeneration)
{
    HeldGeneration held;
    {
        form::BackgroundGeneration generation(held.function(), {}, "/out");
        held.reportAndWait({"holiday.flv", 1, 2, PublishPhase::Copying});
        EXPECT_FALSE(generation.finished());
    } // neither a hang nor a thread left running
    EXPECT_TRUE(held.sawCancel);

    form::BackgroundGeneration cancelled(held.function(), {}, "/out");
    cancelled.cancel();
    EXPECT_THROW(cancelled.result(), PublishCancelled);
}

TEST(BackgroundGeneration, showsProgressAfterItsDelayAndTheTimeLeftOnceEachPhaseHasRunASecond)
{
    TestClock clock;
    HeldGeneration held;
    form::BackgroundGeneration generation(held.function(), {}, "/out", {}, clock.function());
    EXPECT_FALSE(generation.progressDue(500ms));
    clock.now += 500ms;
    EXPECT_TRUE(generation.progressDue(500ms));

    held.reportAndWait({"holiday.flv", 1024, 4096, PublishPhase::Copying});
    form::ProgressView view = generation.progress(); // the phase's clock starts here
    EXPECT_EQ(view.text, "Copying holiday.flv\n1.0 KiB of 4.0 KiB");
    EXPECT_EQ(view.barPosition, form::ProgressView::barSteps / 4);
    clock.now += 2s;
    EXPECT_EQ(generation.progress().text, "Copying holiday.flv\n1.0 KiB of 4.0 KiB\nAbout 6 seconds left");

    // A new phase has no pace yet.
    held.reportAndWait({"holiday.flv", 1024, 4096, PublishPhase::Converting});
    EXPECT_EQ(generation.progress().text, "Converting holiday.flv for browsers\n1.0 KiB of 4.0 KiB");

    {
        std::lock_guard lock(held.mutex);
        held.release = true;
    }
    EXPECT_EQ(generation.result().folder, "/out/holiday");
}
