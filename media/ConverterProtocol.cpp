#include "media/ConverterProtocol.h"

#include <charconv>

namespace vidlume::converter {

namespace {

/// Longest line kept: warnings are a line of text, never megabytes.
constexpr std::size_t maxLineBytes = 64 * 1024;

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

/// Cuts the first word off line; nothing when there is none.
std::optional<std::string_view> takeWord(std::string_view& line)
{
    if (line.empty())
        return std::nullopt;
    const auto blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    line = blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    return word;
}

std::optional<std::uint64_t> takeNumber(std::string_view& line)
{
    const auto word = takeWord(line);
    if (!word || word->empty())
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(word->data(), word->data() + word->size(), value);
    if (error != std::errc() || end != word->data() + word->size())
        return std::nullopt;
    return value;
}

const char* handlingWord(StreamHandling handling)
{
    switch (handling) {
    case StreamHandling::Copied:
        return "copied";
    case StreamHandling::Reencoded:
        return "reencoded";
    case StreamHandling::None:
        break;
    }
    return "none";
}

std::optional<StreamHandling> handlingOf(std::optional<std::string_view> word)
{
    if (word == "none")
        return StreamHandling::None;
    if (word == "copied")
        return StreamHandling::Copied;
    if (word == "reencoded")
        return StreamHandling::Reencoded;
    return std::nullopt;
}

std::optional<Message> parse(std::string_view line)
{
    const auto word = takeWord(line);
    Message message;
    if (word == "progress") {
        const auto done = takeNumber(line);
        const auto total = takeNumber(line);
        if (!done || !total)
            return std::nullopt;
        message.kind = Message::Kind::Progress;
        message.done = *done;
        message.total = *total;
    } else if (word == "warning" || word == "confined") {
        message.kind = word == "warning" ? Message::Kind::Warning : Message::Kind::Confined;
        message.text = unescaped(line);
    } else if (word == "ready") {
        const auto answer = takeWord(line);
        if (answer != "yes" && answer != "no")
            return std::nullopt;
        message.kind = Message::Kind::Ready;
        message.done = answer == "yes" ? 1 : 0;
    } else if (word == "cancel") {
        message.kind = Message::Kind::Cancel;
    } else if (word == "done") {
        const auto bytes = takeNumber(line);
        const auto video = handlingOf(takeWord(line));
        const auto audio = handlingOf(takeWord(line));
        if (!bytes || !video || !audio)
            return std::nullopt;
        message.kind = Message::Kind::Outcome;
        message.result.bytes = *bytes;
        message.result.video = *video;
        message.result.audio = *audio;
    } else if (word == "unusable") {
        message.kind = Message::Kind::Outcome;
        message.result.status = ConvertStatus::Unusable;
        message.result.reason = unescaped(line);
    } else if (word == "write-failed") {
        const auto error = takeNumber(line);
        if (!error)
            return std::nullopt;
        message.kind = Message::Kind::Outcome;
        message.result.status = ConvertStatus::WriteFailed;
        message.result.error = static_cast<int>(*error);
        message.result.reason = unescaped(line);
    } else if (word == "cancelled") {
        message.kind = Message::Kind::Outcome;
        message.result.status = ConvertStatus::Cancelled;
        message.result.reason = "cancelled";
    } else {
        return std::nullopt;
    }
    return message;
}

} // namespace

std::string progressMessage(std::uint64_t done, std::uint64_t total)
{
    return "progress " + std::to_string(done) + " " + std::to_string(total) + "\n";
}

std::string warningMessage(std::string_view text)
{
    return "warning " + escaped(text) + "\n";
}

std::string confinedMessage(std::string_view description)
{
    return "confined " + escaped(description) + "\n";
}

std::string readyMessage(bool browserReady)
{
    return browserReady ? "ready yes\n" : "ready no\n";
}

std::string outcomeMessage(const ConvertResult& result)
{
    switch (result.status) {
    case ConvertStatus::Done:
        return "done " + std::to_string(result.bytes) + " " + handlingWord(result.video) + " " +
               handlingWord(result.audio) + "\n";
    case ConvertStatus::Cancelled:
        return "cancelled\n";
    case ConvertStatus::WriteFailed:
        return "write-failed " + std::to_string(result.error < 0 ? 0 : result.error) + " " +
               escaped(result.reason) + "\n";
    case ConvertStatus::Unusable:
    case ConvertStatus::DestinationExists: // the converter never names a file
        break;
    }
    return "unusable " + escaped(result.reason) + "\n";
}

std::string cancelMessage()
{
    return "cancel\n";
}

std::optional<Message> MessageReader::next()
{
    for (;;) {
        const auto end = m_pending.find('\n');
        if (end == std::string::npos)
            return std::nullopt;
        std::optional<Message> message = parse(std::string_view(m_pending).substr(0, end));
        m_pending.erase(0, end + 1);
        if (message)
            return message;
    }
}

bool MessageReader::overlong() const
{
    return m_pending.size() > maxLineBytes;
}

} // namespace vidlume::converter
