#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellumar {

// What one run of the window came to, counted from its reports, and the line that says so.
class RunSummary {
  public:
    enum class Kind { Search, List, Replace, Preview };

    void Begin(Kind kind);
    void Listed() { ++m_nListed; }
    void LeftAsItWas() { ++m_nLeft; }
    void NotRead() { ++m_nNotRead; }
    // The user or an answer asked the run to end before its walk did.
    void Stopped() { m_bStopped = true; }
    // The folder could not be entered: nothing was looked at.
    void FolderNotEntered() { m_bNotEntered = true; }

    uint64_t ListedCount() const { return m_nListed; }
    // The walk went through every folder, unstopped.
    bool Complete() const { return !m_bStopped && !m_bNotEntered; }

    // While the run goes on: how many files were looked at, and where.
    static std::string ProgressText(uint64_t lookedAt, const std::string& folder);
    // Once it ended, after `lookedAt` files.
    std::string EndText(uint64_t lookedAt) const;

  private:
    Kind m_kind = Kind::Search;
    uint64_t m_nListed = 0;
    uint64_t m_nLeft = 0;
    uint64_t m_nNotRead = 0;
    bool m_bStopped = false;
    bool m_bNotEntered = false;
};

// A count as people read it: 1,204.
std::string CountText(uint64_t count);

// A name as one line shows it: each control character, a line feed among them, as its picture
// (U+2400 to U+2421), so that it can neither break the line nor pass for another one.
std::string VisibleText(std::string_view text);

}  // namespace pellumar
