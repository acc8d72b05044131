#include "platform/PrintableText.h"

#include <cstdint>

namespace vidlume::platform {

std::string printableText(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = at(i);
        if (lead < 0x80) {
            if ((lead >= 0x20 && lead != 0x7f) || lead == '\t' || lead == '\n')
                text.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        // A UTF-8 sequence is kept whole when it is well formed and not one of
        // U+0080..U+009F, which a terminal may take as C1 controls (CSI among
        // them); any other byte above 0x7f, a lone C1 byte included, is dropped.
        const std::size_t length = lead >= 0xc2 && lead <= 0xdf ? 2 : lead >= 0xe0 && lead <= 0xef ? 3
                                 : lead >= 0xf0 && lead <= 0xf4                                 ? 4
                                                                                                : 0;
        std::uint32_t point = length == 2 ? lead & 0x1f : length == 3 ? lead & 0x0f : lead & 0x07;
        bool whole = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            whole = (at(i + k) & 0xc0) == 0x80;
            point = (point << 6) | (at(i + k) & 0x3f);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        whole = whole && point >= least && point <= 0x10ffff && !(point >= 0xd800 && point <= 0xdfff);
        if (!whole) {
            ++i;
            continue;
        }
        if (point > 0x9f)
            text.append(bytes.substr(i, length));
        i += length;
    }
    return text;
}

void ErrorTextRelay::add(std::string_view bytes)
{
    for (const char c : bytes) {
        if (c == '\n') {
            hand(m_line);
            m_line.clear();
        } else if (m_line.size() < lineLimit) {
            m_line.push_back(c);
        }
    }
}

void ErrorTextRelay::finish()
{
    if (!m_line.empty())
        hand(m_line);
    m_line.clear();
    if (m_leftOut > 0) {
        m_sink(m_context, "(" + std::to_string(m_leftOut) + " more bytes of messages were left out)");
        m_leftOut = 0;
    }
}

void ErrorTextRelay::hand(std::string_view line)
{
    const std::string text = printableText(line);
    if (m_handed + text.size() > totalLimit) {
        m_leftOut += text.size() + 1;
        return;
    }
    m_handed += text.size() + 1;
    m_sink(m_context, text);
}

} // namespace vidlume::platform
