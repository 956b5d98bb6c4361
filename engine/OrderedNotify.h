#pragma once

#include <functional>

#include "ISearchNotify.h"

namespace pellumar {

// Keeps a replacement's reports in the order of its files while some of them wait to be placed
// together: before anything else is told, the files that wait are placed and told. A question
// that placing them answered with the end of the search is not asked, and nothing more is told
// of the file in hand, which the search would not have begun.
class OrderedNotify final : public ISearchNotify {
  public:
    // `placeWaiting` places the waiting files, telling each through this sink; false when the
    // search ended while it did.
    OrderedNotify(ISearchNotify& inner, std::function<bool()> placeWaiting)
        : m_inner(inner), m_placeWaiting(std::move(placeWaiting)) {}

    void OnSearchFound(std::string path, FileInformation info) override;
    ErrorReply OnSearchError(const char* operation, const CFileException& error) override;
    ErrorReply OnSearchErrorNoRetry(const char* operation, const CFileException& error) override;
    void OnSearchFinished(int result) override { m_inner.OnSearchFinished(result); }
    void OnSearchSkipped(const std::string& path, SkipKind kind, int error) override;
    void OnMatchesCounted(const std::string& path, uint64_t matches) override;
    void OnUndoKept(uint64_t run, uint64_t copiedBytes) override {
        m_inner.OnUndoKept(run, copiedBytes);
    }

  private:
    // True when the report may go on.
    bool PlaceFirst();

    ISearchNotify& m_inner;
    std::function<bool()> m_placeWaiting;
    bool m_bPlacing = false;  // the waiting files' own reports go straight on (worker only)
    bool m_bEnded = false;    // placing them ended the search (worker only)
};

}  // namespace pellumar
