#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellumar {

// Tells whether a file is still exactly the one a run wrote or kept.
struct UndoIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modified = 0;  // nanoseconds
    bool operator==(const UndoIdentity&) const = default;
    auto operator<=>(const UndoIdentity&) const = default;
};

// The rest of a new file's status as the run left it in place: what a change of its access
// rights, owner or links, or an edit with its time put back, moves.
struct UndoPlaced {
    int64_t changed = 0;  // status-change time, nanoseconds
    uint32_t mode = 0, owner = 0, group = 0, links = 0;
    bool operator==(const UndoPlaced&) const = default;
};

// One file a run replaced: its old content is the store entry named by the index.
struct UndoFileRecord {
    uint64_t index = 0;
    bool copied = false;  // the entry is a copy of the old bytes, not the old file itself
    UndoIdentity before;  // the old file, as it was read
    UndoIdentity after;   // the new file, as the run put it in place
    std::string path;     // as bytes
    // Told once the new file took its place: none in a journal of an older version, nor where
    // the run was killed between the two.
    std::optional<UndoPlaced> placed;
};

// What the run was asked to do, as the history shows it.
struct UndoRunHeader {
    int64_t time = 0;  // seconds since 1970, UTC
    std::string folder, filter, search, replace;
};

// A run's journal, as read back: files whose replacement was withdrawn are left out, and a last
// line cut short by a kill is ignored.
struct UndoJournal {
    UndoRunHeader header;
    std::vector<UndoFileRecord> files;
};

// What undoing a run has done so far: the files about to be put back (each with the identity of
// the file that goes back) and whether it ended.
struct UndoLog {
    std::map<uint64_t, UndoIdentity> restoring;
    bool done = false;
};

// A field of a line: a backslash, a tab and a line end written as \\, \t and \n. Unescaped
// refuses any other escape.
std::string EscapedField(std::string_view field);
std::optional<std::string> UnescapedField(std::string_view field);
// The fields of a line, as tabs separate them.
std::vector<std::string_view> LineFields(std::string_view line);

// Journal text. Fields are separated by tabs; a backslash, a tab and a line end in a field are
// written as \\, \t and \n, so that a path keeps every other byte as it is.
std::string JournalHeaderText(const UndoRunHeader& header);
std::string JournalFileLine(const UndoFileRecord& record);
std::string JournalWithdrawnLine(uint64_t index);
std::string JournalPlacedLine(uint64_t index, const UndoPlaced& placed);
std::optional<UndoJournal> ParseJournal(std::string_view text);

// A file's status as this program left it: "touched", its identity, its placed status.
std::string TouchedLine(const UndoIdentity& identity, const UndoPlaced& placed);
std::map<UndoIdentity, UndoPlaced> ParseTouched(std::string_view text);

std::string UndoRestoringLine(uint64_t index, const UndoIdentity& identity);
std::string UndoDoneLine();
UndoLog ParseUndoLog(std::string_view text);

// How many of the oldest runs go before a new run begins, given the bytes each run copied,
// oldest first: enough that the new run makes at most `keptRuns`, and more while the copies of
// the runs left come to more than `mostCopied`.
size_t RunsToPrune(const std::vector<uint64_t>& copied, size_t keptRuns, uint64_t mostCopied);

// The name of a kept file's entry in its run's folder.
std::string UndoEntryName(uint64_t index);

// A text cut to `most` characters for a one-line listing, ending in "..." when cut.
std::string ShortenedForListing(const std::string& text, size_t most);

}  // namespace pellumar
