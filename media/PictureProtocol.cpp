#include "media/PictureProtocol.h"

#include <charconv>

namespace vidlume::converter {

namespace {

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            out += text[i + 1] == 'n' ? '\n' : text[i + 1];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string_view takeWord(std::string_view& line)
{
    const auto blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    return word;
}

template <typename Number>
bool takeNumber(std::string_view& line, Number& value, Number least, Number most)
{
    const std::string_view word = takeWord(line);
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return !word.empty() && error == std::errc() && end == word.data() + word.size() && value >= least &&
           value <= most;
}

} // namespace

std::string factsMessage(std::int64_t durationMs, int width, int height)
{
    return "facts " + std::to_string(durationMs < 0 ? -1 : durationMs) + " " + std::to_string(width) + " " +
           std::to_string(height) + "\n";
}

std::string titleMessage(std::string_view title)
{
    return "title " + escaped(title) + "\n";
}

std::string createdMessage(std::string_view created)
{
    return "created " + escaped(created) + "\n";
}

std::string pictureMessage(int width, int height)
{
    return "picture " + std::to_string(width) + " " + std::to_string(height) + "\n";
}

std::string noPictureMessage(std::string_view reason)
{
    return "no-picture " + escaped(reason) + "\n";
}

std::string pictureUnusableMessage(std::string_view reason)
{
    return "unusable " + escaped(reason) + "\n";
}

std::optional<PictureMessage> parsePictureMessage(std::string_view line)
{
    const std::string_view word = takeWord(line);
    PictureMessage message;
    if (word == "facts") {
        message.kind = PictureMessage::Kind::Facts;
        if (!takeNumber<std::int64_t>(line, message.durationMs, -1, std::int64_t(1) << 50) ||
            !takeNumber(line, message.width, 0, 1 << 16) || !takeNumber(line, message.height, 0, 1 << 16))
            return std::nullopt;
    } else if (word == "picture") {
        message.kind = PictureMessage::Kind::Picture;
        if (!takeNumber(line, message.width, 1, 4096) || !takeNumber(line, message.height, 1, 4096))
            return std::nullopt;
    } else if (word == "title" || word == "created" || word == "no-picture" || word == "unusable") {
        message.kind = word == "title"        ? PictureMessage::Kind::Title
                       : word == "created"    ? PictureMessage::Kind::Created
                       : word == "no-picture" ? PictureMessage::Kind::NoPicture
                                              : PictureMessage::Kind::Unusable;
        message.text = unescaped(line);
    } else {
        return std::nullopt;
    }
    return message;
}

} // namespace vidlume::converter
