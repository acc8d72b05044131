#include "cli/CliOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <array>

namespace vidlume::cli {

namespace {

struct OptionEntry
{
    const char* name;
    const char* valueName; // empty for a switch
    const char* description;
};

const std::array optionTable{
    OptionEntry{"size", "TEXT", "player size as in the window's size box (default 320x240)"},
    OptionEntry{"autoplay", "", "\"Auto Play Video\" checked"},
    OptionEntry{"video-path", "TEXT", "video web path"},
    OptionEntry{"player-path", "TEXT", "player web path"},
    OptionEntry{"thumbnail", "", "\"Include Thumbnail:\" checked"},
    OptionEntry{"thumbnail-image", "FILE", "poster image path"},
    OptionEntry{"logo", "", "\"Include Logo:\" checked"},
    OptionEntry{"logo-image", "FILE", "logo image path"},
    OptionEntry{"logo-alpha", "N", "logo opacity, a whole number from 0 to 100 (default 0)"},
    OptionEntry{"logo-position", "P", "top-left | top-right | bottom-left | bottom-right (default: none)"},
    OptionEntry{"logo-width", "TEXT", "logo width text"},
    OptionEntry{"logo-link", "TEXT", "logo link text"},
    OptionEntry{"html5", "", "\"HTML5 Player\" checked: the page also plays in browsers without Flash"},
    OptionEntry{"out", "DIR", "output folder, the parent of the new folder (default $HOME/vidlume)"},
    OptionEntry{"open", "", "open the new folder in the file browser afterwards"},
    OptionEntry{"print-page", "", "write the page text to standard output, byte for byte, and create nothing"},
};

// Arguments travel through Qt as Latin-1, which maps every byte to one
// character and back, so file names in any encoding arrive unchanged.
QString toQt(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

std::string fromQt(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

void defineOptions(QCommandLineParser& parser)
{
    for (const auto& option : optionTable) {
        if (*option.valueName)
            parser.addOption(QCommandLineOption(option.name, option.description, option.valueName));
        else
            parser.addOption(QCommandLineOption(option.name, option.description));
    }
    parser.addOption(QCommandLineOption(QStringList{"h", "help"}, "show this help"));
    parser.addOption(QCommandLineOption("version", "show the version"));
    parser.addPositionalArgument("VIDEO", "the video file", "VIDEO");
}

/// Reads a logo opacity: decimal digits only, 0 to 100.
bool parseAlpha(const std::string& text, int& alpha)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    alpha = std::stoi(text);
    return alpha <= 100;
}

bool parsePosition(const std::string& text, LogoPosition& position)
{
    static const std::array<std::pair<const char*, LogoPosition>, 4> names{{
        {"top-left", LogoPosition::TopLeft},
        {"top-right", LogoPosition::TopRight},
        {"bottom-left", LogoPosition::BottomLeft},
        {"bottom-right", LogoPosition::BottomRight},
    }};
    for (const auto& [name, value] : names) {
        if (text == name) {
            position = value;
            return true;
        }
    }
    return false;
}

/// Copies the page options into inputs; returns the usage error, or "".
std::string readPageOptions(const QCommandLineParser& parser, PageInputs& inputs)
{
    const auto text = [&parser](const char* name) { return fromQt(parser.value(name)); };
    const auto setText = [&](const char* name, std::string& target) {
        if (parser.isSet(name))
            target = text(name);
    };

    setText("size", inputs.videoSize);
    setText("video-path", inputs.videoPath);
    setText("player-path", inputs.flvPlayerPath);
    setText("thumbnail-image", inputs.thumbnailImage);
    setText("logo-image", inputs.logoImage);
    setText("logo-width", inputs.logoWidth);
    setText("logo-link", inputs.logoLink);
    setText("out", inputs.outputDir);
    inputs.autoPlay = parser.isSet("autoplay");
    inputs.thumbnail = parser.isSet("thumbnail");
    inputs.logo = parser.isSet("logo");
    inputs.html5 = parser.isSet("html5");

    if (parser.isSet("out") && inputs.outputDir.empty())
        return "--out needs a folder.";
    if (parser.isSet("logo-alpha") && !parseAlpha(text("logo-alpha"), inputs.logoAlpha))
        return "--logo-alpha needs a whole number from 0 to 100, not '" + text("logo-alpha") + "'.";
    if (parser.isSet("logo-position") && !parsePosition(text("logo-position"), inputs.logoPosition))
        return "--logo-position needs top-left, top-right, bottom-left or bottom-right, not '" +
               text("logo-position") + "'.";
    return {};
}

std::string readVideo(const QStringList& positional, std::string& video)
{
    if (positional.isEmpty())
        return "VIDEO is missing.";
    if (positional.size() > 1)
        return "Only one VIDEO may be given, found also '" + fromQt(positional.at(1)) + "'.";
    // An empty VIDEO is the caller's to judge: publishing has its own message.
    video = fromQt(positional.first());
    return {};
}

} // namespace

CliParseResult parseCliArguments(const std::vector<std::string>& arguments)
{
    QCommandLineParser parser;
    defineOptions(parser);

    QStringList qtArguments{"vidlume-cli"};
    for (const auto& argument : arguments)
        qtArguments << toQt(argument);

    CliParseResult result;
    if (!parser.parse(qtArguments)) {
        result.usageError = fromQt(parser.errorText());
        return result;
    }

    CliOptions& options = result.options;
    options.showHelp = parser.isSet("help");
    options.showVersion = parser.isSet("version");
    if (options.showHelp || options.showVersion)
        return result;

    options.printPage = parser.isSet("print-page");
    options.openFolder = parser.isSet("open");
    result.usageError = readPageOptions(parser, options.inputs);
    if (result.usageError.empty())
        result.usageError = readVideo(parser.positionalArguments(), options.inputs.videoFile);
    return result;
}

std::string usageText()
{
    const auto line = [](std::string left, const char* description) {
        // Descriptions start in one column; a longer option still gets one space.
        left.resize(left.size() < 27 ? 27 : left.size() + 1, ' ');
        return left + description + "\n";
    };

    std::string text = "Usage: vidlume-cli [OPTIONS] VIDEO\n";
    for (const auto& option : optionTable) {
        std::string left = std::string("  --") + option.name;
        if (*option.valueName)
            left += std::string(" ") + option.valueName;
        text += line(left, option.description);
    }
    text += line("  -h, --help", "show this help");
    text += line("  --version", "show the version");
    text += line("  --", "end of the options: VIDEO may start with \"-\"");
    return text;
}

} // namespace vidlume::cli
