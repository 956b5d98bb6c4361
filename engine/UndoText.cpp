#include "UndoText.h"

#include <charconv>
#include <iterator>

#include "LocalTime.h"

namespace pellumar {

namespace {

constexpr size_t kShownText = 40;
constexpr size_t kShownFolder = 1000;  // whole, but on one line

std::string Quoted(const std::string& text) {
    return "'" + ShortenedForListing(text, kShownText) + "'";
}

std::string Files(size_t count) {
    return std::to_string(count) + (count == 1 ? " file" : " files");
}

}  // namespace

std::string UndoHistoryLine(const UndoRunSummary& run) {
    const UndoRunHeader& h = run.header;
    return std::to_string(run.id) + "  " + FormatLocalTime(h.time, "%Y-%m-%d %H:%M:%S") + "  " +
           ShortenedForListing(h.folder, kShownFolder) + "  " +
           ShortenedForListing(h.filter, kShownText) + "  " + Quoted(h.search) + " -> " +
           Quoted(h.replace) + "  " + Files(run.files) + (run.undone ? "  taken back" : "");
}

std::string UndoQuestionText(const UndoRunSummary& run) {
    const UndoRunHeader& h = run.header;
    return "Take back the replacement of " + Quoted(h.search) + "\nwith " + Quoted(h.replace) +
           ", made " + FormatLocalTime(h.time, "%Y-%m-%d %H:%M") + " in " + Files(run.files) +
           " below\n" + h.folder +
           "?\n\nEvery file still as it was left gets its old content back;\n" +
           "a file changed since stays as it is.";
}

std::string UndoOutcomeText(const UndoOutcome& outcome) {
    std::string text = "Restored " + Files(outcome.restored) + ".";
    if (!outcome.left.empty()) {
        text += " " + Files(outcome.left.size()) + (outcome.left.size() == 1 ? " was" : " were") +
                " left as " + (outcome.left.size() == 1 ? "it is" : "they are") +
                ", changed since the replacement or out of reach.";
    }
    if (outcome.stopped) {
        text += " Stopped before the end: take it back again to finish.";
    }
    return text;
}

std::string ByteCountText(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    const char* units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    for (; value >= 1024 && unit + 1 < std::size(units); ++unit) {
        value /= 1024;
    }
    char text[32];  // the "C" locale's point, whatever the process's locale
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, end.ptr) + " " + units[unit];
}

}  // namespace pellumar
