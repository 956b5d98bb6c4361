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
    return "Looked at " + Files(lookedAt) + (folder.empty() ? "" : ", now in " + folder);
}

std::string RunSummary::EndText(uint64_t lookedAt) const {
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
