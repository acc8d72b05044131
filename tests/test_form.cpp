#include "FakeMainFormView.h"
#include "app/Error.h"
#include "app/GlobalUnit.h"
#include "form/MainForm.h"
#include "form/MainFormLayout.h"
#include "form/OutputFolderChoice.h"
#include "RecordingLauncher.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace vidlume;
using form::Control;
using test::FakeMainFormView;
using test::logged;

using vidlume::test::RecordingLauncher;

namespace {

/// A fresh folder that the test owns, removed at its end.
class TemporaryFolder
{
public:
    TemporaryFolder()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (std::string("vidlume-form-") + test->name() + "-" + std::to_string(std::rand()));
        std::filesystem::create_directories(m_path);
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string path(const std::string& name = {}) const
    {
        return (name.empty() ? m_path : m_path / name).string();
    }

private:
    std::filesystem::path m_path;
};

void setProfileFolder(const std::string& folder)
{
#ifdef _WIN32
    _putenv_s("USERPROFILE", folder.c_str());
#else
    setenv("HOME", folder.c_str(), 1);
#endif
}

class MainFormTest : public ::testing::Test
{
protected:
    MainFormTest() { form.setLauncher(&launcher); }

    FakeMainFormView view;
    form::MainForm form{view};
    RecordingLauncher launcher;
    TemporaryFolder scratch;
};

TEST_F(MainFormTest, showingDisablesTheInputsThatWaitForAChoiceAndMakesTheOutputFolder)
{
    setProfileFolder(scratch.path());
    form.FormCreate();
    form.FormShow();

    EXPECT_EQ(view.caption.rfind("Norvane Vidlume Free Version", 0), 0u) << view.caption;
    for (const Control control :
         {Control::btn_thumbnailimage, Control::btn_logoimage, Control::trc_logoalpha, Control::btn_start})
        EXPECT_FALSE(view[control].enabled) << int(control);
    EXPECT_TRUE(view[Control::btn_videofile].enabled);
    const std::string folder = view[Control::edt_outputdir].text;
    EXPECT_NE(folder.find("vidlume"), std::string::npos) << folder;
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(view.warnings.empty());
}

TEST_F(MainFormTest, aCheckedBoxAtShowingKeepsItsInputsEnabled)
{
    setProfileFolder(scratch.path());
    view[Control::chk_thumbnail].checked = true;
    view[Control::chk_logo].checked = true;
    form.FormCreate();
    form.FormShow();
    EXPECT_TRUE(view[Control::btn_thumbnailimage].enabled);
    EXPECT_TRUE(view[Control::btn_logoimage].enabled);
    EXPECT_TRUE(view[Control::trc_logoalpha].enabled);
    EXPECT_FALSE(view[Control::btn_start].enabled);
}

TEST(MainCaption, carriesTheVersionTextAsItIs)
{
    EXPECT_EQ(form::mainCaption(" 1.101 "), "Norvane Vidlume Free Version 1.101 ");
}

TEST_F(MainFormTest, includeLogoSwitchesItsInputsAndKeepsTheirValues)
{
    const Control inputs[] = {Control::btn_logoimage, Control::edt_logolink, Control::edt_logowidth,
                              Control::trc_logoalpha};
    view[Control::edt_logolink].text = "http://example.com/";
    for (const bool checked : {true, false}) {
        view[Control::chk_logo].checked = checked;
        form.chk_logoClick();
        for (const Control control : inputs)
            EXPECT_EQ(view[control].enabled, checked) << int(control);
        // The fields take typing only while the logo is included.
        EXPECT_EQ(view[Control::edt_logolink].readOnly, !checked);
        EXPECT_EQ(view[Control::edt_logowidth].readOnly, !checked);
    }
    EXPECT_EQ(view[Control::edt_logolink].text, "http://example.com/");
}

TEST_F(MainFormTest, includeThumbnailSwitchesOnlyItsBrowseButton)
{
    view[Control::chk_thumbnail].checked = true;
    form.chk_thumbnailClick();
    view[Control::chk_thumbnail].checked = false;
    form.chk_thumbnailClick();
    EXPECT_EQ(view.log, (std::vector<std::string>{logged("enable", Control::btn_thumbnailimage),
                                                  logged("disable", Control::btn_thumbnailimage)}));
}

TEST_F(MainFormTest, theTrackBarLabelShowsThePosition)
{
    view[Control::trc_logoalpha].position = 100;
    form.trc_logoalphaChange();
    EXPECT_EQ(view[Control::lbl_position].text, "100");
}

TEST(LogoWidthKeyFilter, passesDigitsBackspaceAndReturnOnly)
{
    for (const char32_t key : {U'0', U'5', U'9', char32_t(8), char32_t(13)})
        EXPECT_EQ(form::edt_logowidthKeyPress(key), key) << unsigned(key);
    // Letters, signs, blanks, other control characters and digits of other scripts.
    for (const char32_t key :
         {U'a', U'-', U'.', U' ', U'/', U':', char32_t(9), char32_t(27), char32_t(127), U'\u0663', U'\uFF11'})
        EXPECT_EQ(form::edt_logowidthKeyPress(key), U'\0') << unsigned(key);
}

TEST_F(MainFormTest, aConfirmedVideoEnablesGenerateAndACancelledDialogDisablesIt)
{
    const std::string video = scratch.path("holiday.flv");
    std::ofstream(video) << "FLV";

    view.nextFile = video;
    form.btn_videofileClick();
    EXPECT_EQ(view[Control::edt_videofile].text, video);
    EXPECT_TRUE(view[Control::btn_start].enabled);
    ASSERT_EQ(view.dialogFilters.size(), 1u);
    ASSERT_EQ(view.dialogFilters[0].size(), 2u);
    EXPECT_EQ(view.dialogFilters[0][0].name, "FLV files (*.flv)");
    EXPECT_EQ(view.dialogFilters[0][0].pattern, "*.flv");

    view.nextFile.reset();
    form.btn_videofileClick();
    EXPECT_EQ(view[Control::edt_videofile].text, video);
    EXPECT_FALSE(view[Control::btn_start].enabled);

    view.nextFile = scratch.path("gone.flv");
    form.btn_videofileClick();
    EXPECT_FALSE(view[Control::btn_start].enabled);

    form.videoFilesChosen({video});
    EXPECT_TRUE(view[Control::btn_start].enabled);
}

TEST_F(MainFormTest, aHandedFileIsTakenOnlyWhenItIsAVideoThatCanBePublished)
{
    const auto writeScratch = [this](const std::string& name, const std::string& bytes) {
        std::ofstream(scratch.path(name), std::ios::binary) << bytes;
        return scratch.path(name);
    };
    const std::string flvInDisguise = writeScratch("clip.bin", std::string("FLV\x01\x05", 5));
    const std::string mp4 = writeScratch("clip.m4v", std::string("\0\0\0\x20" "ftypisom", 12));
    const std::string picture = writeScratch("thumb.jpg", "\xFF\xD8\xFF\xE0");
    const std::string text = writeScratch("notes.txt", "");
    const std::string upperCase = writeScratch("OLD.FLV", "");

    form.videoFilesChosen({picture});
    EXPECT_EQ(view[Control::edt_videofile].text, "");
    ASSERT_EQ(view.statuses.size(), 1u);
    EXPECT_EQ(view.statuses.back(), "\u201cthumb.jpg\u201d is not a video that Vidlume can publish (a Flash Video or an MP4).");

    form.videoFilesChosen({picture, text});
    EXPECT_EQ(view[Control::edt_videofile].text, "");
    EXPECT_EQ(view.statuses.back(), "None of the 2 files is a video that Vidlume can publish (a Flash Video or an MP4).");

    // The first that qualifies, wherever it lies among the others.
    form.videoFilesChosen({picture, flvInDisguise, mp4});
    EXPECT_EQ(view[Control::edt_videofile].text, flvInDisguise);
    EXPECT_TRUE(view[Control::btn_start].enabled);
    EXPECT_EQ(view.statuses.back(), "Took clip.bin as the video; 2 other files were passed over.");

    const std::size_t said = view.statuses.size();
    for (const std::string& video : {mp4, upperCase}) {
        form.videoFilesChosen({video});
        EXPECT_EQ(view[Control::edt_videofile].text, video);
    }
    EXPECT_EQ(view.statuses.size(), said) << "a single video needs no word";
}

TEST_F(MainFormTest, aFailedOrCancelledGenerationLeavesNoEarlierFolderOnOffer)
{
    view[Control::edt_videofile].text = "/videos/holiday.flv";
    view.publish = [](const PageInputs&) -> PublishResult {
        throw std::runtime_error("The folder \"/out/holiday\" could not be made:\nthe disk is full.");
    };
    EXPECT_THROW(form.btn_startClick(), std::runtime_error);
    ASSERT_EQ(view.statuses.size(), 1u);
    EXPECT_EQ(view.statuses.back(), "Not published: The folder \"/out/holiday\" could not be made:");

    view.publish = [](const PageInputs&) -> PublishResult { throw PublishCancelled(); };
    EXPECT_FALSE(form.btn_startClick());
    EXPECT_EQ(view.statuses.back(), "Cancelled: nothing was published.");
}

TEST_F(MainFormTest, imageDialogsOfferTheThreeImageTypesAndACancelChangesNothing)
{
    view.nextFile = "/pictures/poster.png";
    form.btn_thumbnailimageClick();
    view.nextFile.reset();
    form.btn_logoimageClick();
    EXPECT_EQ(view[Control::edt_thumbnailimage].text, "/pictures/poster.png");
    EXPECT_EQ(view[Control::edt_logoimage].text, "");
    EXPECT_TRUE(view.log.empty()) << "the image dialogs touch no enabling";
    ASSERT_EQ(view.dialogFilters.size(), 2u);
    std::vector<std::string> names;
    for (const auto& filter : view.dialogFilters[1])
        names.push_back(filter.name + "|" + filter.pattern);
    EXPECT_EQ(names, (std::vector<std::string>{"Jpg files (*.jpg)|*.jpg", "Png files (*.png)|*.png",
                                               "Gif files (*.gif)|*.gif",
                                               "All images (*.jpg *.jpeg *.png *.gif)|*.jpg;*.jpeg;*.png;*.gif",
                                               "All files (*)|*"}));
}

TEST_F(MainFormTest, readsEveryControlIntoTheInputs)
{
    view[Control::edt_videofile].text = "/v/holiday.flv";
    view[Control::cbb_videosize].text = "640x480";
    view[Control::chk_autoplay].checked = true;
    view[Control::chk_html5].checked = true;
    view[Control::edt_videopath].text = "videos/";
    view[Control::edt_flvplayerpath].text = "player/";
    view[Control::chk_thumbnail].checked = true;
    view[Control::edt_thumbnailimage].text = "/p/poster.jpg";
    view[Control::chk_logo].checked = false;
    view[Control::edt_logoimage].text = "/p/logo.png";
    view[Control::trc_logoalpha].position = 30;
    view[Control::rb_bottomleft].checked = true;
    view[Control::edt_logowidth].text = "64";
    view[Control::edt_logolink].text = "http://example.com/?a=1&b=2";
    view[Control::edt_outputdir].text = "/out";

    const PageInputs inputs = form.readInputs();
    EXPECT_EQ(inputs.videoFile, "/v/holiday.flv");
    EXPECT_EQ(inputs.videoSize, "640x480");
    EXPECT_TRUE(inputs.autoPlay);
    EXPECT_TRUE(inputs.html5);
    EXPECT_EQ(inputs.videoPath, "videos/");
    EXPECT_EQ(inputs.flvPlayerPath, "player/");
    EXPECT_TRUE(inputs.thumbnail);
    EXPECT_EQ(inputs.thumbnailImage, "/p/poster.jpg");
    EXPECT_FALSE(inputs.logo);
    EXPECT_EQ(inputs.logoImage, "/p/logo.png");
    EXPECT_EQ(inputs.logoAlpha, 30);
    EXPECT_EQ(inputs.logoPosition, LogoPosition::BottomLeft);
    EXPECT_EQ(inputs.logoWidth, "64");
    EXPECT_EQ(inputs.logoLink, "http://example.com/?a=1&b=2");
    EXPECT_EQ(inputs.outputDir, "/out");

    for (const auto& [radio, position] : {std::pair{Control::rb_topleft, LogoPosition::TopLeft},
                                          {Control::rb_topright, LogoPosition::TopRight},
                                          {Control::rb_bottomright, LogoPosition::BottomRight}}) {
        view[Control::rb_bottomleft].checked = false;
        view[Control::rb_topleft].checked = view[Control::rb_topright].checked =
            view[Control::rb_bottomright].checked = false;
        view[radio].checked = true;
        EXPECT_EQ(form.readInputs().logoPosition, position);
    }
    view[Control::rb_bottomright].checked = false;
    EXPECT_EQ(form.readInputs().logoPosition, LogoPosition::None);
}

TEST_F(MainFormTest, generateWithoutAVideoWarnsMovesTheFocusAndMakesNothing)
{
    EXPECT_FALSE(form.btn_startClick());
    EXPECT_EQ(view.warnings, std::vector<std::string>{"You must choose a video file."});
    EXPECT_EQ(view.focused, Control::btn_videofile);
    EXPECT_TRUE(view.published.empty());
    EXPECT_TRUE(launcher.folders.empty());
}

TEST_F(MainFormTest, generateOpensTheNewFolderAfterOneBoxForEverythingLeftOut)
{
    view[Control::edt_videofile].text = "/v/holiday.flv";
    view.publish = [](const PageInputs&) {
        PublishResult result;
        result.folder = "/out/holiday";
        result.leftOut = {{"flvplayer1.swf", "source missing"}};
        result.warnings = {"holiday.flv: a codec that pages cannot play"};
        return result;
    };
    const auto result = form.btn_startClick();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->folder, "/out/holiday");
    ASSERT_EQ(view.warnings.size(), 1u);
    EXPECT_EQ(view.warnings[0], "These files were left out of /out/holiday:\n" +
                                    describeLeftOut({"flvplayer1.swf", "source missing"}) +
                                    "\nholiday.flv: a codec that pages cannot play");
    EXPECT_EQ(launcher.folders, std::vector<std::string>{"/out/holiday"});

    view.publish = [](const PageInputs&) { return PublishResult{"/out/holiday_(new)", {}, {}}; };
    view.warnings.clear();
    form.btn_startClick();
    EXPECT_TRUE(view.warnings.empty());
    EXPECT_EQ(launcher.folders.back(), "/out/holiday_(new)");
}

TEST_F(MainFormTest, aCancelledOrFailedGenerationOpensNothing)
{
    view[Control::edt_videofile].text = "/v/holiday.flv";
    view.publish = [](const PageInputs&) -> PublishResult { throw PublishCancelled(); };
    EXPECT_FALSE(form.btn_startClick());
    view.publish = [](const PageInputs&) -> PublishResult { throw Error("Stream write error"); };
    EXPECT_THROW(form.btn_startClick(), Error);
    EXPECT_TRUE(view.warnings.empty());
    EXPECT_TRUE(launcher.folders.empty());
}

TEST_F(MainFormTest, openShowsTheOutputFolderUnquotedAndAnEmptyChoiceKeepsIt)
{
    view[Control::edt_outputdir].text = "";
    form.btn_openClick();
    EXPECT_TRUE(launcher.folders.empty());
#ifdef _WIN32
    const std::string folder = "C:\\My Videos,2024";
    view[Control::edt_outputdir].text = "C:";
    form.btn_openClick();
    EXPECT_TRUE(launcher.folders.empty());
#else
    const std::string folder = "/srv/My Videos,2024";
#endif
    view[Control::edt_outputdir].text = folder;
    form.btn_openClick();
    EXPECT_EQ(launcher.folders, std::vector<std::string>{folder});

    view.nextFolder.reset();
    form.btn_outputdirClick();
    EXPECT_EQ(view[Control::edt_outputdir].text, folder);
    view.nextFolder = "/srv/web";
    form.btn_outputdirClick();
    EXPECT_EQ(view[Control::edt_outputdir].text, "/srv/web");
}

TEST(MainFormLayout, namesEveryControlOnceEachLabelJustBeforeWhatItNames)
{
    const auto layout = form::mainFormLayout();
    std::vector<int> seen(form::controlCount);
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const form::Piece& piece = layout[i];
        if (piece.control)
            ++seen[std::size_t(*piece.control)];
        // Screen readers on Windows name a control by the label made just before it.
        if (piece.names) {
            ASSERT_LT(i + 1, layout.size()) << piece.name;
            EXPECT_STREQ(layout[i + 1].name, piece.names);
        }
        // A group box is made before what lies in it.
        if (piece.parent) {
            bool before = false;
            for (std::size_t j = 0; j < i; ++j)
                before = before || std::string(layout[j].name) == piece.parent;
            EXPECT_TRUE(before) << piece.name;
        }
    }
    EXPECT_EQ(seen, std::vector<int>(form::controlCount, 1));
}

TEST(MainFormLayout, everyPieceLiesInsideTheClientArea)
{
    for (const form::Piece& piece : form::mainFormLayout()) {
        const form::Place place = form::placeInClientArea(piece);
        EXPECT_GE(place.left, 0) << piece.name;
        EXPECT_GE(place.top, 0) << piece.name;
        EXPECT_LE(place.left + place.width, form::clientWidth) << piece.name;
        EXPECT_LE(place.top + place.height, form::clientHeight) << piece.name;
    }
    // Inside two group boxes a place moves by both.
    const form::Place radio = form::placeInClientArea(form::pieceNamed("rb_topleft"));
    EXPECT_EQ(radio.left, 8 + 95 + 10);
    EXPECT_EQ(radio.top, 136 + 171 + 14);
    EXPECT_THROW(form::pieceNamed("nothing"), std::out_of_range);
}

TEST(MainFormLayout, logoInputsStartSwitchedOffAndPathFieldsTakeNoTypingButStayEnabled)
{
    for (const char* name : {"edt_logolink", "edt_logowidth", "trc_logoalpha"})
        EXPECT_FALSE(form::pieceNamed(name).enabled) << name;
    for (const char* name : {"edt_logolink", "edt_logowidth"})
        EXPECT_TRUE(form::pieceNamed(name).readOnly) << name;
    // Their text can still be selected and copied.
    for (const char* name : {"edt_videofile", "edt_thumbnailimage", "edt_logoimage", "edt_outputdir"}) {
        const form::Piece& field = form::pieceNamed(name);
        EXPECT_TRUE(field.readOnly && field.enabled) << name;
        EXPECT_TRUE(form::holdsLocalPath(*field.control) && form::hasFieldColour(*field.control)) << name;
    }
    EXPECT_FALSE(form::pieceNamed("edt_videopath").readOnly);
    EXPECT_FALSE(form::hasFieldColour(Control::edt_videopath));
    EXPECT_TRUE(form::pieceNamed("chk_html5").checked);
}

TEST_F(MainFormTest, aDroppedFolderOrSeveralFlvsOpenTheSiteDialogAndOneVideoStaysTheVideo)
{
    form.FormCreate();
    const auto writeScratch = [this](const std::string& name) {
        std::ofstream(scratch.path(name), std::ios::binary) << std::string("FLV\x01\x05", 5);
        return scratch.path(name);
    };
    const std::string first = writeScratch("one.flv");
    const std::string second = writeScratch("two.FLV");
    const std::string picture = writeScratch("thumb.jpg");
    std::filesystem::create_directories(scratch.path("archive"));

    form.filesDropped({first, picture});
    EXPECT_EQ(view[Control::edt_videofile].text, first);
    EXPECT_TRUE(view.siteDialogs.empty());

    form.filesDropped({first, picture, second});
    form.filesDropped({picture, scratch.path("archive")});
    EXPECT_EQ(view.siteDialogs, (std::vector<std::vector<std::string>>{{first, second}, {scratch.path("archive")}}));
    EXPECT_EQ(view[Control::edt_videofile].text, first) << "the main window's video stays";
    ASSERT_EQ(view.siteOptions.size(), 2u);
    EXPECT_EQ(view.siteOptions.back().videoSize, form.readInputs().videoSize);
    EXPECT_EQ(view.siteOptions.back().html5, form.readInputs().html5);

    // Options no page can be made of are refused before the dialog opens.
    view[Control::cbb_videosize].text = "320*240";
    EXPECT_THROW(form.filesDropped({scratch.path("archive")}), Error);
    EXPECT_THROW(form.PublishMany1Click(), Error);
    EXPECT_EQ(view.siteDialogs.size(), 2u);
}

TEST_F(MainFormTest, eachCommandOfTheLayoutAndTheMenuRunsItsOwnStep)
{
    form.FormCreate();
    for (const form::MenuCommand& command : form::mainMenu())
        command.handler(form);
    for (const char* name : {"btn_videopathhelp", "btn_flvplayerpath"})
        form::pieceNamed(name).handler(form);
    EXPECT_NE(GlobalObject->ProductPageAddress().find("?exe"), std::string::npos);
    EXPECT_EQ(launcher.urls, (std::vector<std::string>{
                                 GlobalObject->ProductPageAddress(), std::string(makerWebSite) + "/vidmorph.htm",
                                 GlobalObject->HelpAddress(),
                                 std::string(makerWebSite) + "/flv/adding-video-to-your-website.htm",
                                 std::string(makerWebSite) + "/flv/adding-video-to-your-website.htm"}));
    EXPECT_EQ(view.siteDialogs, (std::vector<std::vector<std::string>>{{}})) << "Publish Many Videos starts empty";

    view.nextFolder = "/srv/web";
    form::pieceNamed("btn_outputdir").handler(form);
    EXPECT_EQ(view[Control::edt_outputdir].text, "/srv/web");
    view[Control::trc_logoalpha].position = 7;
    form::pieceNamed("trc_logoalpha").handler(form);
    EXPECT_EQ(view[Control::lbl_position].text, "7");
    view[Control::chk_thumbnail].checked = true;
    form::pieceNamed("chk_thumbnail").handler(form);
    EXPECT_TRUE(view[Control::btn_thumbnailimage].enabled);
}

TEST(PublishedPageAddress, isAFileUrlWithItsBytesPercentEncoded)
{
    EXPECT_EQ(form::publishedPageAddress("/out/my holiday"), "file:///out/my%20holiday/index.htm");
    EXPECT_EQ(form::publishedPageAddress("/out/caf\xC3\xA9#1"), "file:///out/caf%C3%A9%231/index.htm");
    EXPECT_EQ(form::publishedPageAddress("C:\\a b\\holiday"), "file:///C:/a%20b/holiday/index.htm");
    EXPECT_EQ(form::publishedPageAddress("C:\\"), "file:///C:/index.htm");
    EXPECT_EQ(form::publishedPageAddress("\\\\server\\share\\a b"), "file://server/share/a%20b/index.htm");
}

TEST(OutputFolderRefusal, refusesOnlyACdRom)
{
    EXPECT_EQ(form::outputFolderRefusal(platform::DriveType::CdRom),
              "Output folder cannot be located in CD-ROM.Please select another folder.");
    for (const auto type :
         {platform::DriveType::Unknown, platform::DriveType::NoRootDir, platform::DriveType::Removable,
          platform::DriveType::Fixed, platform::DriveType::Remote, platform::DriveType::RamDisk})
        EXPECT_FALSE(form::outputFolderRefusal(type)) << int(type);
}

} // namespace
