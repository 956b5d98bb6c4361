#pragma once

#include <memory>
#include <string>

#include "CliOptions.h"
#include "FileSystem.h"
#include "LineReader.h"
#include "SearchRule.h"
#include "StopState.h"

namespace pellumar {
struct SearchEvent;
struct SearchRequest;
}  // namespace pellumar

namespace pellumar::cli {

class CliOutput;

// Whether lines and diffs are coloured: `when` as given, the output a terminal or not, and the
// environment's TERM and NO_COLOR (null when unset).
bool UseColor(ColorWhen when, bool terminal, const char* term, const char* noColor);

// What a found file shows in place of its name: with --lines the lines that hold the text, with
// --diff the changes that its report carries, each as grep and diff -u write them.
class CliShow {
  public:
    CliShow(const CliOptions& options, const SearchRequest& request, bool color);

    bool Shows() const { return m_bLines || m_bDiff; }
    // What showing a file came to.
    struct Outcome {
        std::string word;     // for standard error, or ""
        bool failed = false;  // the file could not be read
        bool counts = true;   // it is one of the files the exit status counts: lines were shown
    };
    // Shows the file of a found report.
    Outcome Show(const SearchEvent& event, CliOutput& out);

  private:
    Outcome ShowLines(const std::string& path, CliOutput& out);
    void WriteLine(const std::string& path, const TextLine& line, CliOutput& out) const;
    void ShowDiff(const std::string& path, const FileChanges& changes, CliOutput& out) const;
    void Paint(CliOutput& out, const char* color, std::string_view text) const;
    void Marked(CliOutput& out, const TextLine& line) const;
    std::string Name(const std::string& path) const;
    std::string DiffName(const std::string& path, const FileChanges& changes) const;

    bool m_bLines;
    bool m_bDiff;
    bool m_bNull;
    bool m_bColor;
    std::string m_strPrefix;  // the folder's path with its separator: names in a diff follow it
    std::unique_ptr<FileSystem> m_pFs;
    SearchRule m_rule;
    StopState m_stop;  // never set: a file's lines are read whole
    std::unique_ptr<LineReader> m_pReader;
};

}  // namespace pellumar::cli
