#include "form/MainForm.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "app/GlobalUnit.h"
#include "app/OutputFolder.h"
#include "form/VideoFileKind.h"
#include "page/BuildPlayerPage.h"
#include "page/PathNames.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/ProgramInfo.h"
#include "site/SiteSources.h"

namespace vidlume::form {

namespace {

const char* const videoHelpPage = "/flv/adding-video-to-your-website.htm";
const std::string publishableVideo = "a video that Vidlume can publish (a Flash Video or an MP4).";

/// The first line of a failure's text, for the status line.
std::string firstLine(const std::string& text)
{
    return text.substr(0, text.find('\n'));
}

/// Characters, not bytes, of a UTF-8 text.
[[maybe_unused]] std::size_t characterCount(const std::string& text)
{
    std::size_t count = 0;
    for (const char byte : text)
        count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return count;
}

} // namespace

MainForm::MainForm(MainFormView& view) : m_view(view) {}

platform::Launcher& MainForm::launcher() const
{
    return m_launcher ? *m_launcher : platform::systemLauncher();
}

void MainForm::FormCreate()
{
    createGlobalObject(platform::programFilePath());
}

void MainForm::FormShow()
{
    m_settingsFile.emplace(GlobalObject->SettingsFileName());
    m_view.setCaption(mainCaption(GlobalObject->GetVersionText()));

    const std::string profile = platform::userProfileFolder();
    m_view.setControlText(Control::edt_outputdir, defaultOutputFolder(profile));

    if (!m_view.controlChecked(Control::chk_thumbnail))
        m_view.enableControl(Control::btn_thumbnailimage, false);
    if (!m_view.controlChecked(Control::chk_logo)) {
        m_view.enableControl(Control::btn_logoimage, false);
        m_view.enableControl(Control::trc_logoalpha, false);
    }
    m_view.enableControl(Control::btn_start, false);

    ensureOutputFolder(m_view.controlText(Control::edt_outputdir), profile, *m_settingsFile,
                       [this](const std::string& warning) { m_view.showWarning(warning); });
}

void MainForm::btn_videofileClick()
{
    const auto file = m_view.runOpenDialog(videoFileFilters());
    if (file)
        m_view.setControlText(Control::edt_videofile, *file);
    // A cancelled dialog has no file name, so it disables "Generate HTML Code"
    // while the field keeps the file chosen before.
    m_view.enableControl(Control::btn_start, file && platform::fileExists(*file));
}

void MainForm::videoFilesChosen(const std::vector<std::string>& paths)
{
    const auto video = std::find_if(paths.begin(), paths.end(), isPublishableVideo);
    if (video == paths.end()) {
        if (paths.size() == 1)
            m_view.showStatus("\u201c" + fileNameOf(paths.front()) + "\u201d is not " + publishableVideo);
        else if (!paths.empty())
            m_view.showStatus("None of the " + std::to_string(paths.size()) + " files is " + publishableVideo);
        return;
    }
    m_view.setControlText(Control::edt_videofile, *video);
    m_view.enableControl(Control::btn_start, platform::fileExists(*video));
    if (const std::size_t ignored = paths.size() - 1; ignored > 0)
        m_view.showStatus("Took " + fileNameOf(*video) + " as the video; " + std::to_string(ignored) +
                          (ignored == 1 ? " other file was" : " other files were") + " passed over.");
}

namespace {

/// The window's page options for a site, refused (with the error a generation
/// would give) before any video's page is made of them.
PageInputs checkedSiteOptions(const PageInputs& inputs)
{
    PageInputs probe = inputs;
    probe.videoFile = "video.flv";
    (void)BuildPlayerPage(probe);
    return inputs;
}

} // namespace

void MainForm::filesDropped(const std::vector<std::string>& paths)
{
    std::vector<std::string> sources;
    bool folder = false;
    for (const std::string& path : paths) {
        if (platform::directoryExists(path)) {
            folder = true;
            sources.push_back(path);
        } else if (site::hasFlvEnding(path)) {
            sources.push_back(path);
        }
    }
    if (folder || sources.size() > 1)
        m_view.runSiteDialog(sources, checkedSiteOptions(readInputs()));
    else
        videoFilesChosen(paths);
}

void MainForm::PublishMany1Click()
{
    m_view.runSiteDialog({}, checkedSiteOptions(readInputs()));
}

void MainForm::Upload1Click()
{
    m_view.runUploadDialog(m_lastPublished);
}

void MainForm::btn_thumbnailimageClick()
{
    if (const auto file = m_view.runOpenDialog(imageFileFilters()))
        m_view.setControlText(Control::edt_thumbnailimage, *file);
}

void MainForm::btn_logoimageClick()
{
    if (const auto file = m_view.runOpenDialog(imageFileFilters()))
        m_view.setControlText(Control::edt_logoimage, *file);
}

void MainForm::chk_thumbnailClick()
{
    m_view.enableControl(Control::btn_thumbnailimage, m_view.controlChecked(Control::chk_thumbnail));
}

void MainForm::chk_logoClick()
{
    const bool checked = m_view.controlChecked(Control::chk_logo);
    m_view.enableControl(Control::btn_logoimage, checked);
    m_view.enableControl(Control::edt_logolink, checked);
    m_view.enableControl(Control::edt_logowidth, checked);
    m_view.setControlReadOnly(Control::edt_logolink, !checked);
    m_view.setControlReadOnly(Control::edt_logowidth, !checked);
    m_view.enableControl(Control::trc_logoalpha, checked);
}

void MainForm::trc_logoalphaChange()
{
    m_view.setControlText(Control::lbl_position,
                          std::to_string(m_view.controlPosition(Control::trc_logoalpha)));
}

void MainForm::btn_openClick()
{
    const std::string folder = m_view.controlText(Control::edt_outputdir);
    if (opensOutputFolder(folder))
        launcher().openFolder(folder);
}

PageInputs MainForm::readInputs() const
{
    PageInputs inputs;
    inputs.videoFile = m_view.controlText(Control::edt_videofile);
    inputs.videoSize = m_view.controlText(Control::cbb_videosize);
    inputs.autoPlay = m_view.controlChecked(Control::chk_autoplay);
    inputs.html5 = m_view.controlChecked(Control::chk_html5);
    inputs.videoPath = m_view.controlText(Control::edt_videopath);
    inputs.flvPlayerPath = m_view.controlText(Control::edt_flvplayerpath);
    inputs.thumbnail = m_view.controlChecked(Control::chk_thumbnail);
    inputs.thumbnailImage = m_view.controlText(Control::edt_thumbnailimage);
    inputs.logo = m_view.controlChecked(Control::chk_logo);
    inputs.logoImage = m_view.controlText(Control::edt_logoimage);
    inputs.logoAlpha = m_view.controlPosition(Control::trc_logoalpha);
    if (m_view.controlChecked(Control::rb_topleft))
        inputs.logoPosition = LogoPosition::TopLeft;
    else if (m_view.controlChecked(Control::rb_topright))
        inputs.logoPosition = LogoPosition::TopRight;
    else if (m_view.controlChecked(Control::rb_bottomleft))
        inputs.logoPosition = LogoPosition::BottomLeft;
    else if (m_view.controlChecked(Control::rb_bottomright))
        inputs.logoPosition = LogoPosition::BottomRight;
    inputs.logoWidth = m_view.controlText(Control::edt_logowidth);
    inputs.logoLink = m_view.controlText(Control::edt_logolink);
    inputs.outputDir = m_view.controlText(Control::edt_outputdir);
    return inputs;
}

std::optional<PublishResult> MainForm::btn_startClick()
{
    if (m_view.controlText(Control::edt_videofile).empty()) {
        m_view.showWarning("You must choose a video file.");
        m_view.focusControl(Control::btn_videofile);
        return std::nullopt;
    }
    PublishResult result;
    try {
        result = m_view.publishWithProgress(readInputs());
    } catch (const PublishCancelled&) {
        // The generation took its folder away again.
        m_view.showStatus("Cancelled: nothing was published.");
        return std::nullopt;
    } catch (const std::exception& error) {
        // The report box says it all; the status line no longer offers an earlier folder.
        m_view.showStatus("Not published: " + firstLine(error.what()));
        throw;
    }
    if (const std::string warning = generationWarning(result); !warning.empty())
        m_view.showWarning(warning);
    launcher().openFolder(result.folder);
    m_view.showPublished(result.folder);
    m_lastPublished = result.folder;
    return result;
}

void MainForm::btn_outputdirClick()
{
    if (const auto folder = m_view.runFolderChooser())
        m_view.setControlText(Control::edt_outputdir, *folder);
}

void MainForm::openPublishedPage(const std::string& folder)
{
    launcher().openUrl(publishedPageAddress(folder));
}

std::string publishedPageAddress(const std::string& folder)
{
    // A Windows path ("C:\\a b", "\\\\server\\share\\a b") becomes the address of a
    // file URL with forward slashes; a POSIX path ("/a b") is that address already.
    const auto isSlash = [](char c) { return c == '\\' || c == '/'; };
    const bool drive = folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                       folder[1] == ':' && (folder.size() == 2 || isSlash(folder[2]));
    const bool share = folder.size() >= 2 && folder[0] == '\\' && folder[1] == '\\';
    std::string path = folder;
    if (drive || share)
        for (char& c : path)
            if (c == '\\')
                c = '/';
    if (path.empty() || path.back() != '/')
        path += '/';
    path += "index.htm";

    static const char hex[] = "0123456789ABCDEF";
    std::string address = share ? "file:" : drive ? "file:///" : "file://";
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = std::isalnum(byte) || std::string_view("/-._~").find(c) != std::string_view::npos ||
                           (drive && i == 1); // the drive's colon
        if (plain && byte < 0x80) {
            address += c;
        } else {
            address += '%';
            address += hex[byte >> 4];
            address += hex[byte & 15];
        }
    }
    return address;
}

void MainForm::WebSite1Click()
{
    launcher().openUrl(GlobalObject->ProductPageAddress());
}

void MainForm::NorvaneVidmorph1Click()
{
    launcher().openUrl(std::string(makerWebSite) + "/vidmorph.htm");
}

void MainForm::Help1Click()
{
    launcher().openUrl(GlobalObject->HelpAddress());
}

void MainForm::btn_videopathhelpClick()
{
    launcher().openUrl(std::string(makerWebSite) + videoHelpPage);
}

void MainForm::btn_flvplayerpathClick()
{
    launcher().openUrl(std::string(makerWebSite) + videoHelpPage);
}

std::string mainCaption(const std::string& versionText)
{
    return "Norvane Vidlume Free Version" + versionText;
}

char32_t edt_logowidthKeyPress(char32_t key)
{
    const bool passes = key == 8 || key == 13 || (key >= U'0' && key <= U'9');
    return passes ? key : 0;
}

bool opensOutputFolder(const std::string& text)
{
#ifdef _WIN32
    return characterCount(text) > 2;
#else
    // Without drive letters any path but an empty one is a folder, "/" included.
    return !text.empty();
#endif
}

std::string generationWarning(const PublishResult& result)
{
    std::string text;
    const auto addLine = [&text](const std::string& line) {
        if (!text.empty())
            text += '\n';
        text += line;
    };
    if (!result.leftOut.empty()) {
        addLine("These files were left out of " + result.folder + ":");
        for (const auto& file : result.leftOut)
            addLine(describeLeftOut(file));
    }
    for (const auto& line : result.warnings)
        addLine(line);
    return text;
}

} // namespace vidlume::form
