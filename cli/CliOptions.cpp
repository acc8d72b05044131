#include "cli/CliOptions.h"

#include "platform/Paths.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

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
    OptionEntry{"thumbnail-image", "FILE", "poster image path; checks \"Include Thumbnail:\" too"},
    OptionEntry{"logo", "", "\"Include Logo:\" checked"},
    OptionEntry{"logo-image", "FILE", "logo image path; checks \"Include Logo:\" too"},
    OptionEntry{"logo-alpha", "N", "logo opacity, a whole number from 0 to 100 (default 0)"},
    OptionEntry{"logo-position", "P", "top-left | top-right | bottom-left | bottom-right (default: none)"},
    OptionEntry{"logo-width", "TEXT", "logo width text"},
    OptionEntry{"logo-link", "TEXT", "logo link text"},
    OptionEntry{"html5", "",
                "\"HTML5 Player\" checked, as it is unless --no-html5 is given: the page also\n"
                "plays in browsers without Flash"},
    OptionEntry{"no-html5", "",
                "\"HTML5 Player\" unchecked: the page for the Flash player alone, with no HTML5\n"
                "player script and no MP4"},
    OptionEntry{"captions", "FILE",
                "subtitle file (.srt or .vtt) offered as captions by the HTML5 player; may be\n"
                "given more than once, not with --no-html5, and replaces the files found beside\n"
                "VIDEO (VIDEO's name with .srt, .vtt, .LANG.srt or .LANG.vtt)"},
#ifdef _WIN32
    OptionEntry{"out", "DIR", "output folder, the parent of the new folder (default %USERPROFILE%\\vidlume)"},
#else
    OptionEntry{"out", "DIR", "output folder, the parent of the new folder (default $HOME/vidlume)"},
#endif
    OptionEntry{"open", "", "open the new folder in the file browser afterwards"},
    OptionEntry{"print-page", "",
                "write the page text to standard output, byte for byte, and create nothing;\n"
                "--out and --open are then ignored"},
};

/// The values of the command line as CLI11 bound them.
struct Bound
{
    std::map<std::string, std::vector<std::string>> values; // every value of each value option, in order
    std::map<std::string, bool> switches;

    bool isSet(const std::string& name) const
    {
        const auto value = values.find(name);
        if (value != values.end())
            return !value->second.empty();
        const auto flag = switches.find(name);
        return flag != switches.end() && flag->second;
    }
    /// The last value given, as a repeated option keeps the last.
    std::string value(const std::string& name) const
    {
        const auto found = values.find(name);
        return found == values.end() || found->second.empty() ? std::string() : found->second.back();
    }
};

bool takesValue(std::string_view name)
{
    return std::any_of(optionTable.begin(), optionTable.end(),
                       [name](const OptionEntry& option) { return name == option.name && *option.valueName; });
}

bool isSwitch(std::string_view name)
{
    return name == "help" || name == "h" || name == "version" ||
           std::any_of(optionTable.begin(), optionTable.end(),
                       [name](const OptionEntry& option) { return name == option.name && !*option.valueName; });
}

/// Splits the arguments into words as the tool has always read them, before
/// CLI11 binds them: every word starting with "-" up to a lone "--" is an
/// option ("-" alone is VIDEO), "--name=value" carries its value (an empty one
/// too), a value option without "=" takes the next word whatever it starts
/// with, and a single dash starts a run of one-letter options ("-h"). Returns
/// the words for CLI11 (each value option followed by its value, all VIDEO
/// words apart in positional, exactly as given), or the usage error: a
/// missing or unexpected value, else the unknown options, all of them named.
std::string splitWords(const std::vector<std::string>& arguments, std::vector<std::string>& words,
                       std::vector<std::string>& positional)
{
    std::string valueError;
    std::vector<std::string> unknown;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (isWindowsHelpWord(argument)) {
            words.push_back("--help");
            continue;
        }
        if (argument == "--") {
            positional.insert(positional.end(), arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
            break;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        const std::size_t assign = argument.find('=');
        if (argument[1] == '-') {
            const std::string name = argument.substr(2, assign == std::string::npos ? std::string::npos : assign - 2);
            if (takesValue(name)) {
                words.push_back("--" + name);
                if (assign != std::string::npos)
                    words.push_back(argument.substr(assign + 1));
                else if (i + 1 < arguments.size())
                    words.push_back(arguments[++i]);
                else
                    valueError = "Missing value after '" + argument + "'.";
            } else if (isSwitch(name)) {
                if (assign != std::string::npos)
                    valueError = "Unexpected value after '" + argument.substr(0, assign) + "'.";
                words.push_back("--" + name);
            } else {
                unknown.push_back(name);
            }
            continue;
        }
        // One-letter options: only -h is known, and it takes no value.
        for (std::size_t at = 1; at < argument.size(); ++at) {
            const std::string name(1, argument[at]);
            if (!isSwitch(name)) {
                unknown.push_back(name);
                continue;
            }
            words.push_back("-" + name);
            if (at + 1 < argument.size() && argument[at + 1] == '=') {
                valueError = "Unexpected value after '" + argument.substr(0, assign) + "'.";
                break;
            }
        }
    }
    if (!valueError.empty())
        return valueError;
    if (unknown.size() == 1)
        return "Unknown option '" + unknown.front() + "'.";
    if (!unknown.empty()) {
        std::string names = unknown.front();
        for (std::size_t i = 1; i < unknown.size(); ++i)
            names += ", " + unknown[i];
        return "Unknown options: " + names + ".";
    }
    return {};
}

/// Binds the words that splitWords made with CLI11.
Bound bindWords(std::vector<std::string> words)
{
    Bound bound;
    CLI::App app{"vidlume-cli"};
    app.set_help_flag();
    for (const auto& option : optionTable) {
        if (*option.valueName) {
            app.add_option(std::string("--") + option.name, bound.values[option.name], option.description)
                ->type_name(option.valueName)
                ->expected(1)
                ->allow_extra_args(false) // one value per option word, even an empty one
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        } else {
            app.add_flag(std::string("--") + option.name, bound.switches[option.name], option.description);
        }
    }
    app.add_flag("-h,--help", bound.switches["help"], "show this help");
    app.add_flag("--version", bound.switches["version"], "show the version");
    // CLI11 takes the words last first.
    std::reverse(words.begin(), words.end());
    app.parse(words);
    return bound;
}

/// Reads a logo opacity: decimal digits only, 0 to 100; leading zeros are
/// allowed in any number ("007", "0100").
bool parseAlpha(const std::string& text, int& alpha)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (digits.size() > 3)
        return false;
    alpha = std::stoi(digits);
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
std::string readPageOptions(const Bound& parser, PageInputs& inputs)
{
    const auto text = [&parser](const char* name) { return parser.value(name); };
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
    // An image given is an image wanted: its path alone changes nothing
    // while its box is unchecked.
    inputs.thumbnail = parser.isSet("thumbnail") || parser.isSet("thumbnail-image");
    inputs.logo = parser.isSet("logo") || parser.isSet("logo-image");
    // The window starts with "HTML5 Player" checked, and so does the command line.
    inputs.html5 = !parser.isSet("no-html5");
    if (parser.isSet("no-html5") && parser.isSet("html5"))
        return "--html5 and --no-html5 contradict each other.";
    if (parser.isSet("no-html5") && parser.isSet("captions"))
        return "--captions needs the HTML5 player, which --no-html5 leaves out.";
    for (const std::string& file : parser.values.at("captions")) {
        if (file.empty())
            return "--captions needs a file.";
        inputs.captionFiles.push_back(file);
    }

    if (parser.isSet("out") && inputs.outputDir.empty())
        return "--out needs a folder.";
    // The page builder's own error, with the option that caused it.
    if (!inputs.videoSize.empty() && inputs.videoSize.find('x') == std::string::npos)
        return "--size: List index out of bounds (1): '" + inputs.videoSize +
               "' needs a lower-case \"x\" between width and height.";
    if (parser.isSet("logo-alpha") && !parseAlpha(text("logo-alpha"), inputs.logoAlpha))
        return "--logo-alpha needs a whole number from 0 to 100, not '" + text("logo-alpha") + "'.";
    if (parser.isSet("logo-position") && !parsePosition(text("logo-position"), inputs.logoPosition))
        return "--logo-position needs top-left, top-right, bottom-left or bottom-right, not '" +
               text("logo-position") + "'.";
    return {};
}

std::string readVideo(const std::vector<std::string>& positional, std::string& video)
{
    if (positional.empty())
        return "VIDEO is missing.";
    if (positional.size() > 1)
        return "Only one VIDEO may be given, found also '" + positional.at(1) + "'.";
    // An empty VIDEO is the caller's to judge: publishing has its own message.
    video = positional.front();
    return {};
}

} // namespace

CliParseResult parseCliArguments(const std::vector<std::string>& arguments)
{
    CliParseResult result;
    std::vector<std::string> words;
    // VIDEO words never go through CLI11, which reads "[a,b]" as a list.
    std::vector<std::string> positional;
    result.usageError = splitWords(arguments, words, positional);
    if (!result.usageError.empty())
        return result;
    Bound parser;
    try {
        parser = bindWords(std::move(words));
    } catch (const CLI::ParseError& error) {
        // splitWords has checked every word that CLI11 could refuse.
        result.usageError = error.what();
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
        result.usageError = readVideo(positional, options.inputs.videoFile);
    return result;
}

bool isValueOption(std::string_view name)
{
    return takesValue(name);
}

std::string usageText()
{
    const auto line = [](std::string left, const char* description) {
        // Descriptions start in one column; a longer option still gets one
        // space, and the further lines of a description keep its column.
        left.resize(left.size() < 27 ? 27 : left.size() + 1, ' ');
        std::string text = left;
        for (const char* c = description; *c; ++c)
            text += *c == '\n' ? "\n" + std::string(27, ' ') : std::string(1, *c);
        return text + "\n";
    };

    std::string text = "Usage: vidlume-cli [OPTIONS] VIDEO\n"
                       "Publishes VIDEO as a web page: makes a new folder inside the output folder,\n"
                       "places the video, the player file, the chosen images and index.htm in it\n"
                       "(with the HTML5 player, its script and an MP4 of the video too), and\n"
                       "prints the folder's path on standard output. Files that could not be\n"
                       "placed, warnings, errors and, on a terminal, the progress bar go to\n"
                       "standard error. With --print-page only the page text is written.\n"
#ifdef VIDLUME_WITH_UPLOAD
                       "\n"
                       "vidlume-cli upload [OPTIONS] [--] FOLDER URL copies a published folder onto\n"
                       "a web server (see vidlume-cli upload --help).\n"
#endif
                       "\n"
                       "Options:\n";
    for (const auto& option : optionTable) {
        std::string left = std::string("  --") + option.name;
        if (*option.valueName)
            left += std::string(" ") + option.valueName;
        text += line(left, option.description);
    }
    text += line(isWindowsHelpWord("/?") ? "  -h, --help, /?" : "  -h, --help", "show this help");
    text += line("  --version", "show the version");
    text += line("  --", "end of the options: VIDEO may start with \"-\"");
    text += "\n"
            "Exit status:\n"
            "  0    every file is in place (or the page was printed)\n"
            "  1    failure: e.g. the folder or index.htm cannot be made, or the\n"
            "       folder's path cannot be written to standard output\n"
            "  2    the command line is wrong\n"
            "  3    the folder is complete, but files were left out (listed on standard error),\n"
            "       the MP4 for the HTML5 player among them when it could not be made\n"
            + stopStatusLines("the new folder is removed");
    return text;
}

bool isWindowsHelpWord(std::string_view argument)
{
    return platform::nativePathStyle == platform::PathStyle::Windows && argument == "/?";
}

std::string stopStatusLines(const std::string& what)
{
#ifdef _WIN32
    return "  130  stopped by Ctrl+C or Ctrl+Break, 129 by closing the console window;\n"
           "       " + what + "\n";
#else
    return "  130  stopped by Ctrl-C (SIGINT), 143 by SIGTERM, 129 by SIGHUP;\n"
           "       " + what + "\n";
#endif
}

} // namespace vidlume::cli
