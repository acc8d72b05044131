#include "ScratchFolder.h"
#include "form/MainForm.h"
#include "form/SiteForm.h"
#include "RecordingLauncher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

// "Publish Many Videos" through its rules, on an archive made with ffmpeg and
// the real site library and converter.

using namespace vidlume;
using form::SiteControl;
using form::SitePhase;

using vidlume::test::RecordingLauncher;

namespace {

class FakeSiteFormView final : public form::SiteFormView
{
public:
    void setSources(const std::vector<std::string>& value) override { sources = value; }
    void setSiteFolder(const std::string& folder) override { site = folder; }
    void setSummary(const std::string& text) override { summary = text; }
    void setRows(const std::vector<form::SiteRow>& value) override { rows = value; }
    void setRow(std::size_t row, const form::SiteRow& value) override
    {
        ASSERT_LT(row, rows.size());
        rows[row] = value;
        states[value.name].push_back(value.state);
        if (onRow)
            onRow(value);
    }
    void setProgress(int position, const std::string& text) override
    {
        bar = position;
        progressText = text;
        if (text.find("left") != std::string::npos)
            timeLeftShown = true;
    }
    void setLeftOut(const std::string& text) override { leftOut = text; }
    void enableControl(SiteControl control, bool value) override { enabled[control] = value; }
    void setJobs(unsigned value) override { jobs = value; }
    std::optional<std::string> chooseFolder(const std::string&) override { return nextFolder; }
    std::vector<std::string> chooseVideoFiles() override { return nextFiles; }

    std::string stateOf(const std::string& name) const
    {
        for (const form::SiteRow& row : rows)
            if (row.name == name)
                return row.state;
        return "(no row)";
    }

    std::vector<std::string> sources;
    std::string site;
    std::string summary;
    std::vector<form::SiteRow> rows;
    std::map<std::string, std::vector<std::string>> states; // each row's states in turn
    std::function<void(const form::SiteRow&)> onRow;
    int bar = 0;
    std::string progressText;
    bool timeLeftShown = false;
    std::string leftOut;
    std::map<SiteControl, bool> enabled;
    unsigned jobs = 0;
    std::optional<std::string> nextFolder;
    std::vector<std::string> nextFiles;
};

void runUntilIdle(form::SiteForm& form)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (form.poll() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool ffmpeg(const std::string& arguments)
{
    return std::system(("ffmpeg -nostdin -loglevel error -y " + arguments).c_str()) == 0;
}

/// An archive of three videos in two folders and a damaged file, and a program
/// folder with the real converter beside stand-ins for the player files.
class SiteFormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "ffmpeg is not installed";
        std::filesystem::create_directories(scratch.path("archive/trips"));
        std::filesystem::create_directories(scratch.path("programs"));
        const std::string tone = " -f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame -ar 22050 -b:a 32k ";
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=96x72:rate=10:duration=1" + tone + "-c:v flv1 \"" +
                           scratch.path("archive/trips/beach.flv") + "\""));
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc2=size=96x72:rate=10:duration=1 -c:v flv1 -an \"" +
                           scratch.path("archive/talk.flv") + "\""));
        ASSERT_TRUE(ffmpeg("-f lavfi -i testsrc=size=96x72:rate=10:duration=1" + tone + "-c:v flv1 \"" +
                           scratch.path("archive/trips/garden.flv") + "\""));
        std::ofstream(scratch.path("archive/damaged.flv"), std::ios::binary) << std::string(4000, '\x5a');
        std::ofstream(scratch.path("programs/flvplayer1.swf"), std::ios::binary) << "player bytes";
        std::ofstream(scratch.path("programs/vidlume-html5.js"), std::ios::binary) << "script";
        std::filesystem::create_symlink(VIDLUME_CONVERT_PATH, scratch.path("programs/vidlume-convert"));
        options.html5 = true;
    }

    std::unique_ptr<form::SiteForm> open(FakeSiteFormView& view, std::vector<std::string> sources)
    {
        auto form = std::make_unique<form::SiteForm>(view, options, std::move(sources));
        form->setProgramFolder(scratch.path("programs"));
        form->setLauncher(&launcher);
        form->show();
        return form;
    }

    test::ScratchFolder scratch;
    PageInputs options;
    RecordingLauncher launcher;
};

TEST(PlanSummary, countsEachKindOnceAndSaysWhenNothingWasFound)
{
    EXPECT_EQ(form::planSummary({}), "No FLV video was found in the sources.");
    EXPECT_EQ(form::planSummary({.found = 1, .toConvert = 1}), "Found 1 video: 0 up to date, 1 needs converting.");
    EXPECT_EQ(form::planSummary({.found = 6, .upToDate = 2, .toConvert = 2, .pageOnly = 1, .leftOutBefore = 1}),
              "Found 6 videos: 2 up to date, 2 need converting, 1 needs only its page made again. "
              "1 video stays left out as before (unchanged since).");
}

TEST_F(SiteFormTest, sourcesAndSiteDecideWhatCanStart)
{
    FakeSiteFormView view;
    auto form = open(view, {});
    EXPECT_EQ(form->phase(), SitePhase::Choosing);
    EXPECT_EQ(view.summary, "Add the folders or FLV files to publish.");
    EXPECT_FALSE(view.enabled[SiteControl::Start]);
    EXPECT_FALSE(view.enabled[SiteControl::RemoveSource]);
    EXPECT_FALSE(view.enabled[SiteControl::OpenSiteFolder]);
    EXPECT_GE(view.jobs, 1u);

    view.nextFolder = scratch.path("archive");
    form->addFolderClick();
    form->addSources({scratch.path("archive")}); // a second time counts once
    EXPECT_EQ(view.sources, std::vector<std::string>{scratch.path("archive")});
    EXPECT_EQ(view.summary, "Choose the folder the site is written to.");
    EXPECT_TRUE(view.enabled[SiteControl::RemoveSource]);

    view.nextFolder = scratch.path("site");
    form->chooseSiteClick();
    EXPECT_EQ(view.site, scratch.path("site"));
    runUntilIdle(*form);
    ASSERT_EQ(form->phase(), SitePhase::Ready);
    EXPECT_EQ(view.summary, "Found 4 videos: 0 up to date, 4 need converting.");
    EXPECT_EQ(view.rows.size(), 4u);
    EXPECT_EQ(view.stateOf("trips/beach.flv"), "waiting");
    EXPECT_TRUE(view.enabled[SiteControl::Start]);
    EXPECT_FALSE(view.enabled[SiteControl::OpenGallery]);

    // Two files chosen instead of the folder: the plan follows the sources.
    form->removeSource(0);
    EXPECT_EQ(form->phase(), SitePhase::Choosing);
    EXPECT_FALSE(view.enabled[SiteControl::Start]);
    view.nextFiles = {scratch.path("archive/talk.flv"), scratch.path("archive/trips/garden.flv")};
    form->addFilesClick();
    runUntilIdle(*form);
    EXPECT_EQ(view.summary, "Found 2 videos: 0 up to date, 2 need converting.");

    form->openSiteFolderClick();
    EXPECT_EQ(launcher.folders, std::vector<std::string>{scratch.path("site")});
}

TEST_F(SiteFormTest, aRunPublishesEachVideoLeavesTheDamagedOneOutAndARerunFindsAllUpToDate)
{
    FakeSiteFormView view;
    auto form = open(view, {scratch.path("archive")});
    form->setSiteFolder(scratch.path("site"));
    runUntilIdle(*form);
    ASSERT_EQ(form->phase(), SitePhase::Ready);
    form->setJobs(2);
    form->startClick();
    EXPECT_EQ(form->phase(), SitePhase::Running);
    EXPECT_TRUE(view.enabled[SiteControl::Cancel]);
    EXPECT_FALSE(view.enabled[SiteControl::Start]);
    EXPECT_FALSE(view.enabled[SiteControl::AddFolder]);
    EXPECT_FALSE(view.enabled[SiteControl::Jobs]);
    runUntilIdle(*form);

    ASSERT_EQ(form->phase(), SitePhase::Finished);
    bool convertingShown = false;
    for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv"}) {
        EXPECT_EQ(view.stateOf(name), "done") << name;
        ASSERT_FALSE(view.states[name].empty());
        convertingShown |= view.states[name].front().starts_with("converting");
    }
    EXPECT_TRUE(convertingShown) << "a row shows its conversion while it runs";
    EXPECT_TRUE(view.stateOf("damaged.flv").starts_with("left out: ")) << view.stateOf("damaged.flv");
    EXPECT_EQ(view.summary, "3 videos are in the site, 1 left out.");
    EXPECT_NE(view.leftOut.find("damaged.flv: "), std::string::npos) << view.leftOut;
    EXPECT_EQ(view.leftOut.find('\n'), std::string::npos) << "one line per video left out";
    EXPECT_EQ(view.bar, form::SiteForm::barSteps);
    EXPECT_TRUE(std::filesystem::exists(scratch.path("site/index.htm")));
    EXPECT_FALSE(view.enabled[SiteControl::Cancel]);
    EXPECT_TRUE(view.enabled[SiteControl::Start]) << "publishing again takes up what changed since";
    ASSERT_TRUE(view.enabled[SiteControl::OpenGallery]);
    form->openGalleryClick();
    EXPECT_EQ(launcher.urls, std::vector<std::string>{form::publishedPageAddress(scratch.path("site"))});

    FakeSiteFormView again;
    auto rerun = open(again, {scratch.path("archive")});
    rerun->setSiteFolder(scratch.path("site"));
    runUntilIdle(*rerun);
    EXPECT_EQ(again.summary,
              "Found 4 videos: 3 up to date, 0 need converting. 1 video stays left out as before (unchanged since).");
    EXPECT_EQ(again.stateOf("talk.flv"), "up to date");
    EXPECT_NE(again.leftOut.find("damaged.flv: "), std::string::npos);
}

TEST_F(SiteFormTest, cancelKeepsTheFinishedVideosAndTheNextRunDoesTheRest)
{
    FakeSiteFormView view;
    auto form = open(view, {scratch.path("archive")});
    form->setSiteFolder(scratch.path("site"));
    runUntilIdle(*form);
    form->setJobs(1);
    form::SiteForm* running = form.get();
    view.onRow = [running](const form::SiteRow& row) {
        if (row.state == "done" || row.state.starts_with("left out"))
            running->cancelClick();
    };
    form->startClick();
    runUntilIdle(*form);

    ASSERT_EQ(form->phase(), SitePhase::Finished);
    std::size_t finished = 0;
    std::size_t stopped = 0;
    for (const form::SiteRow& row : view.rows) {
        finished += row.state == "done" || row.state.starts_with("left out");
        stopped += row.state == form::notDoneState;
    }
    // The one that finished first, perhaps one more that ended before the cancel reached it.
    EXPECT_GE(finished, 1u);
    EXPECT_GE(stopped, 2u);
    EXPECT_EQ(finished + stopped, 4u);
    EXPECT_TRUE(view.summary.starts_with("Stopped. ")) << view.summary;
    EXPECT_EQ(view.progressText, "Stopped");
    EXPECT_TRUE(view.enabled[SiteControl::OpenGallery]) << "the gallery shows what was finished";

    FakeSiteFormView again;
    auto rerun = open(again, {scratch.path("archive")});
    rerun->setSiteFolder(scratch.path("site"));
    runUntilIdle(*rerun);
    EXPECT_EQ(again.rows.size(), 4u);
    std::size_t waiting = 0;
    for (const form::SiteRow& row : again.rows)
        waiting += row.state == "waiting";
    EXPECT_EQ(waiting, stopped) << again.summary;
    rerun.reset();

    // Publish in the stopped dialog goes on with the rest.
    view.onRow = {};
    ASSERT_TRUE(view.enabled[SiteControl::Start]);
    form->startClick();
    runUntilIdle(*form);
    ASSERT_EQ(form->phase(), SitePhase::Finished);
    EXPECT_EQ(view.summary, "3 videos are in the site, 1 left out.");
    for (const char* name : {"trips/beach.flv", "trips/garden.flv", "talk.flv"})
        EXPECT_TRUE(view.stateOf(name) == "done" || view.stateOf(name) == "up to date") << view.stateOf(name);
}

TEST_F(SiteFormTest, aSiteThatCannotBeWrittenIsSaidAndNothingStarts)
{
    std::ofstream(scratch.path("plain"), std::ios::binary) << "a file";
    FakeSiteFormView view;
    auto form = open(view, {scratch.path("archive")});
    form->setSiteFolder(scratch.path("plain/site"));
    runUntilIdle(*form);
    EXPECT_EQ(form->phase(), SitePhase::Ready);
    EXPECT_NE(view.summary.find("Cannot write the site's folder"), std::string::npos) << view.summary;
    EXPECT_FALSE(view.enabled[SiteControl::Start]);
    EXPECT_FALSE(view.enabled[SiteControl::OpenSiteFolder]);
}

} // namespace
