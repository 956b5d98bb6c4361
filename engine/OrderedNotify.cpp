#include "OrderedNotify.h"

namespace pellumar {

bool OrderedNotify::PlaceFirst() {
    if (m_bPlacing) {
        return true;
    }
    if (!m_bEnded) {
        m_bPlacing = true;
        m_bEnded = !m_placeWaiting();
        m_bPlacing = false;
    }
    return !m_bEnded;
}

void OrderedNotify::OnSearchFound(std::string path, FileInformation info) {
    if (PlaceFirst()) {
        m_inner.OnSearchFound(std::move(path), std::move(info));
    }
}

ErrorReply OrderedNotify::OnSearchError(const char* operation, const CFileException& error) {
    return PlaceFirst() ? m_inner.OnSearchError(operation, error) : ErrorReply::StopSearch;
}

ErrorReply OrderedNotify::OnSearchErrorNoRetry(const char* operation, const CFileException& error) {
    return PlaceFirst() ? m_inner.OnSearchErrorNoRetry(operation, error) : ErrorReply::StopSearch;
}

void OrderedNotify::OnSearchSkipped(const std::string& path, SkipKind kind, int error) {
    if (PlaceFirst()) {
        m_inner.OnSearchSkipped(path, kind, error);
    }
}

void OrderedNotify::OnMatchesCounted(const std::string& path, uint64_t matches) {
    if (PlaceFirst()) {
        m_inner.OnMatchesCounted(path, matches);
    }
}

}  // namespace pellumar
