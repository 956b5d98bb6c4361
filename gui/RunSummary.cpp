#include "RunSummary.h"

namespace pellumar {
namespace {

std::string Files(uint64_t count) {
    return CountText(count) + (count == 1 ? " file" : " files");
}

}  // namespace

std::string CountText(uint64_t count) {
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

void RunSummary::Begin(Kind kind) {
    *this = {};
    m_kind = kind;
}

std::string RunSummary::ProgressText(uint64_t lookedAt, const std::string& folder) {
    return "Looked at " + Files(lookedAt) +
           (folder.empty() ? "" : ", now in " + VisibleText(folder));
}

std::string VisibleText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            shown += c;
            continue;
        }
        // The picture of the control character, U+2400 to U+2421, in UTF-8.
        const unsigned picture = byte == 0x7f ? 0x2421 : 0x2400 + byte;
        shown += static_cast<char>(0xe0 | (picture >> 12));
        shown += static_cast<char>(0x80 | ((picture >> 6) & 0x3f));
        shown += static_cast<char>(0x80 | (picture & 0x3f));
    }
    return shown;
}

std::string RunSummary::EndText(uint64_t lookedAt) const {
    if (m_bNotEntered)
        return "The folder could not be entered";
    std::string text;
    switch (m_kind) {
        case Kind::Search:
            text = m_bStopped ? "found in " + CountText(m_nListed) : "Found in " + Files(m_nListed);
            break;
        case Kind::List:
            text = m_bStopped ? "listed " + CountText(m_nListed) : "Listed " + Files(m_nListed);
            break;
        case Kind::Replace:
            text = m_bStopped ? "changed " + CountText(m_nListed) : "Changed " + Files(m_nListed);
            break;
        case Kind::Preview:
            text = (m_bStopped ? "would change " : "Would change ") + Files(m_nListed);
            break;
    }
    if (m_bStopped)
        text = "Stopped after " + Files(lookedAt) + ": " + text;
    if (m_nLeft != 0)
        text +=
            "; " + CountText(m_nLeft) + (m_nLeft == 1 ? " left as it was" : " left as they were");
    if (m_nNotRead != 0)
        text += "; " + CountText(m_nNotRead) + " could not be read";
    return text;
}

}  // namespace pellumar
