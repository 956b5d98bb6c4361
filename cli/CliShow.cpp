#include "CliShow.h"

#include <cstring>
#include <filesystem>

#include "CliOutput.h"
#include "NotificationQueue.h"
#include "SearchRequest.h"

namespace pellumar::cli {

namespace {

// grep's colours: file names, line numbers, separators, matches.
constexpr const char* kNameColor = "35";
constexpr const char* kNumberColor = "32";
constexpr const char* kSeparatorColor = "36";
constexpr const char* kMatchColor = "01;31";

// A long diff is written out as it goes, not held whole.
constexpr std::size_t kFlushAt = 1 << 20;

// A name as git writes it in a diff: in double quotes, with C escapes and other bytes in octal,
// where it holds a quote, a backslash, a control byte or a byte past ASCII.
std::string Quoted(std::string_view name) {
    bool plain = true;
    for (const unsigned char c : name) {
        plain = plain && c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
    }
    if (plain) {
        return std::string(name);
    }
    std::string out = "\"";
    for (const unsigned char c : name) {
        const char* escape = std::strchr("\a\b\t\n\v\f\r\"\\", c);
        if (c != 0 && escape != nullptr) {
            out += '\\';
            out += "abtnvfr\"\\"[escape - "\a\b\t\n\v\f\r\"\\"];
        } else if (c < 0x20 || c >= 0x7f) {
            const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)),
                                  static_cast<char>('0' + ((c >> 3) & 7)),
                                  static_cast<char>('0' + (c & 7)), 0};
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A hunk's range as diff -u writes it: no count of one, and the line before an empty range.
std::string Range(uint64_t start, uint64_t count) {
    if (count == 1) {
        return std::to_string(start);
    }
    return std::to_string(count == 0 ? start - 1 : start) + "," + std::to_string(count);
}

}  // namespace

bool UseColor(ColorWhen when, bool terminal, const char* term, const char* noColor) {
    if (when != ColorWhen::Auto) {
        return when == ColorWhen::Always;
    }
    const bool dumb = term == nullptr || std::strcmp(term, "dumb") == 0;
    return terminal && !dumb && (noColor == nullptr || *noColor == '\0');
}

CliShow::CliShow(const CliOptions& options, const SearchRequest& request, bool color)
    : m_bLines(options.bLines),
      m_bDiff(options.bDiff),
      m_bNull(options.bNull),
      m_bColor(color),
      m_strPrefix(options.strFolder) {
    if (m_strPrefix.empty() || m_strPrefix.back() != kSeparator) {
        m_strPrefix += kSeparator;
    }
    if (m_bLines) {
        RuleProblem problem;
        m_rule = MakeSearchRule(request, problem);
        if (m_rule.matcher) {
            m_pFs = std::make_unique<FileSystem>(DefaultSys());
            m_pReader = std::make_unique<LineReader>(*m_pFs, m_rule, m_stop);
        }
    }
}

CliShow::Outcome CliShow::Show(const SearchEvent& event, CliOutput& out) {
    if (m_bLines && m_pReader) {
        return ShowLines(std::string(event.path), out);
    }
    if (m_bDiff && event.changes) {
        ShowDiff(std::string(event.path), *event.changes, out);
    }
    return {};
}

// As grep counts it, a file whose only match is empty and on no line shows nothing and counts
// for nothing.
CliShow::Outcome CliShow::ShowLines(const std::string& path, CliOutput& out) {
    MatchedLines lines;
    bool any = false;
    // Written out a batch at a time: a file of a million matching lines is never held whole.
    const auto write = [&](std::vector<TextLine>& batch) {
        for (const TextLine& line : batch) {
            WriteLine(path, line, out);
        }
        any = any || !batch.empty();
        return out.Flush();
    };
    if (const int error = m_pReader->Lines(path, lines, write)) {
        return {path + ": " + FileSystem::ErrorText(error), true, any};
    }
    if (lines.binary) {
        return {path + ": binary file matches"};
    }
    return {"", false, any};
}

void CliShow::WriteLine(const std::string& path, const TextLine& line, CliOutput& out) const {
    Paint(out, kNameColor, path);
    if (m_bNull) {
        out.Add(std::string_view("\0", 1));
    } else {
        Paint(out, kSeparatorColor, ":");
    }
    Paint(out, kNumberColor, std::to_string(line.number));
    Paint(out, kSeparatorColor, ":");
    Marked(out, line);
    out.Add("\n");
}

void CliShow::ShowDiff(const std::string& path, const FileChanges& changes, CliOutput& out) const {
    const std::string name = DiffName(path, changes);
    if (changes.binary) {
        out.Add("Binary files ");
        Paint(out, kNameColor, Quoted("a/" + name));
        out.Add(" and ");
        Paint(out, kNameColor, Quoted("b/" + name));
        out.Add(" differ\n");
        return;
    }
    // As git writes them: a name with a space ends in a tab, which patch reads it up to.
    const char* end = name.find(' ') != std::string::npos ? "\t\n" : "\n";
    out.Add("--- ");
    Paint(out, kNameColor, Quoted("a/" + name));
    out.Add(end);
    out.Add("+++ ");
    Paint(out, kNameColor, Quoted("b/" + name));
    out.Add(end);
    for (const ChangeHunk& hunk : changes.hunks) {
        Paint(out, kSeparatorColor, "@@ -");
        Paint(out, kNumberColor, Range(hunk.oldStart, hunk.oldCount));
        Paint(out, kSeparatorColor, " +");
        Paint(out, kNumberColor, Range(hunk.newStart, hunk.newCount));
        Paint(out, kSeparatorColor, " @@");
        out.Add("\n");
        for (const TextLine& line : hunk.lines) {
            out.Add(std::string_view(&line.kind, 1));
            Marked(out, line);
            out.Add(line.lineFeed ? "\n" : "\n\\ No newline at end of file\n");
            if (out.Pending() >= kFlushAt && !out.Flush()) {
                return;  // nobody reads it any more
            }
        }
    }
}

void CliShow::Paint(CliOutput& out, const char* color, std::string_view text) const {
    if (!m_bColor) {
        out.Add(text);
        return;
    }
    out.Add("\33[");
    out.Add(color);
    out.Add("m\33[K");
    out.Add(text);
    out.Add("\33[m\33[K");
}

void CliShow::Marked(CliOutput& out, const TextLine& line) const {
    size_t at = 0;
    for (const LineMark& mark : line.marks) {
        out.Add(std::string_view(line.text).substr(at, mark.start - at));
        Paint(out, kMatchColor,
              std::string_view(line.text).substr(mark.start, mark.end - mark.start));
        at = mark.end;
    }
    out.Add(std::string_view(line.text).substr(at));
}

// The file a diff names: the one the replacement writes, below the folder, where a link led to
// it, as patch changes that file and never a link. One that lies outside keeps its own name.
std::string CliShow::DiffName(const std::string& path, const FileChanges& changes) const {
    namespace fs = std::filesystem;
    if (changes.path.empty() || changes.path == path) {
        return Name(path);
    }
    std::error_code error;
    const fs::path target = fs::weakly_canonical(fs::path(changes.path), error);
    const fs::path folder = fs::weakly_canonical(fs::path(m_strPrefix), error);
    const fs::path relative = target.lexically_relative(folder);
    if (error || relative.empty() || *relative.begin() == "..") {
        return Name(path);
    }
    return relative.generic_string();
}

// The path below the folder searched.
std::string CliShow::Name(const std::string& path) const {
    return path.compare(0, m_strPrefix.size(), m_strPrefix) == 0 ? path.substr(m_strPrefix.size())
                                                                 : path;
}

}  // namespace pellumar::cli
