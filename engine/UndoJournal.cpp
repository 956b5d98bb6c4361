// The journal a replacing run keeps of the files it changed, and the log an undo keeps of what
// it put back: plain text, one line per event, written before the event it records.
#include "UndoJournal.h"

#include <charconv>

namespace pellumar {

std::string EscapedField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (const char c : field) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> UnescapedField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) {
            return std::nullopt;
        }
        const char c = field[i];
        if (c != '\\' && c != 't' && c != 'n') {
            return std::nullopt;
        }
        out += c == 't' ? '\t' : c == 'n' ? '\n' : '\\';
    }
    return out;
}

std::vector<std::string_view> LineFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t from = 0;;) {
        const size_t tab = line.find('\t', from);
        fields.push_back(line.substr(from, tab - from));
        if (tab == std::string_view::npos) {
            return fields;
        }
        from = tab + 1;
    }
}

namespace {

constexpr std::string_view kMagic = "pellumar undo journal 1";

template <typename T>
bool Number(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string IdentityFields(const UndoIdentity& id) {
    return std::to_string(id.device) + '\t' + std::to_string(id.inode) + '\t' +
           std::to_string(id.size) + '\t' + std::to_string(id.modified);
}

bool ParseIdentity(const std::vector<std::string_view>& fields, size_t at, UndoIdentity& id) {
    return Number(fields[at], id.device) && Number(fields[at + 1], id.inode) &&
           Number(fields[at + 2], id.size) && Number(fields[at + 3], id.modified);
}

// Calls `line` for each whole line: a last line without its end was cut short.
template <typename F>
void ForEachLine(std::string_view text, F line) {
    for (size_t from = 0;;) {
        const size_t end = text.find('\n', from);
        if (end == std::string_view::npos) {
            return;
        }
        line(LineFields(text.substr(from, end - from)));
        from = end + 1;
    }
}

bool ParseFileLine(const std::vector<std::string_view>& f, UndoFileRecord& record) {
    if (f.size() != 12 || (f[2] != "link" && f[2] != "copy") || !Number(f[1], record.index) ||
        !ParseIdentity(f, 3, record.before) || !ParseIdentity(f, 7, record.after)) {
        return false;
    }
    record.copied = f[2] == "copy";
    const auto path = UnescapedField(f[11]);
    record.path = path.value_or("");
    return path.has_value();
}

std::string PlacedFields(const UndoPlaced& placed) {
    return std::to_string(placed.changed) + '\t' + std::to_string(placed.mode) + '\t' +
           std::to_string(placed.owner) + '\t' + std::to_string(placed.group) + '\t' +
           std::to_string(placed.links);
}

bool ParsePlaced(const std::vector<std::string_view>& f, size_t at, UndoPlaced& placed) {
    return Number(f[at], placed.changed) && Number(f[at + 1], placed.mode) &&
           Number(f[at + 2], placed.owner) && Number(f[at + 3], placed.group) &&
           Number(f[at + 4], placed.links);
}

// The line follows its file's line; an index it does not know is passed over.
void ParsePlacedLine(const std::vector<std::string_view>& f, std::vector<UndoFileRecord>& files) {
    uint64_t index = 0;
    UndoPlaced placed;
    if (!Number(f[1], index) || !ParsePlaced(f, 2, placed)) {
        return;
    }
    for (auto file = files.rbegin(); file != files.rend(); ++file) {
        if (file->index == index) {
            file->placed = placed;
            return;
        }
    }
}

bool ParseHeaderLine(const std::vector<std::string_view>& f, UndoRunHeader& header) {
    if (f.size() != 2) {
        return false;
    }
    if (f[0] == "time") {
        return Number(f[1], header.time);
    }
    std::string* const fields[] = {&header.folder, &header.filter, &header.search, &header.replace};
    const std::string_view names[] = {"folder", "filter", "search", "replace"};
    for (size_t i = 0; i < 4; ++i) {
        if (f[0] == names[i]) {
            const auto value = UnescapedField(f[1]);
            *fields[i] = value.value_or("");
            return value.has_value();
        }
    }
    return false;
}

}  // namespace

std::string JournalHeaderText(const UndoRunHeader& header) {
    return std::string(kMagic) + "\ntime\t" + std::to_string(header.time) + "\nfolder\t" +
           EscapedField(header.folder) + "\nfilter\t" + EscapedField(header.filter) + "\nsearch\t" +
           EscapedField(header.search) + "\nreplace\t" + EscapedField(header.replace) + "\n";
}

std::string JournalFileLine(const UndoFileRecord& record) {
    return "file\t" + std::to_string(record.index) + (record.copied ? "\tcopy\t" : "\tlink\t") +
           IdentityFields(record.before) + '\t' + IdentityFields(record.after) + '\t' +
           EscapedField(record.path) + '\n';
}

std::string JournalPlacedLine(uint64_t index, const UndoPlaced& placed) {
    return "placed\t" + std::to_string(index) + '\t' + PlacedFields(placed) + '\n';
}

std::string JournalWithdrawnLine(uint64_t index) {
    return "withdrawn\t" + std::to_string(index) + '\n';
}

// A journal that does not begin as one is not read at all; a line that cannot be read is passed
// over, so that one damaged line costs one file, not the run.
std::optional<UndoJournal> ParseJournal(std::string_view text) {
    text = text.substr(0, text.find('\0'));  // the room written ahead of the lines
    if (text.substr(0, kMagic.size() + 1) != std::string(kMagic) + "\n") {
        return std::nullopt;
    }
    UndoJournal journal;
    ForEachLine(text.substr(kMagic.size() + 1), [&](const std::vector<std::string_view>& f) {
        UndoFileRecord record;
        uint64_t index = 0;
        if (f[0] == "file" && ParseFileLine(f, record)) {
            journal.files.push_back(std::move(record));
        } else if (f[0] == "placed" && f.size() == 7 && Number(f[1], index)) {
            ParsePlacedLine(f, journal.files);
        } else if (f[0] == "withdrawn" && f.size() == 2 && Number(f[1], index)) {
            std::erase_if(journal.files, [index](const auto& r) { return r.index == index; });
        } else {
            ParseHeaderLine(f, journal.header);
        }
    });
    return journal;
}

std::string TouchedLine(const UndoIdentity& identity, const UndoPlaced& placed) {
    return "touched\t" + IdentityFields(identity) + '\t' + PlacedFields(placed) + '\n';
}

std::map<UndoIdentity, UndoPlaced> ParseTouched(std::string_view text) {
    std::map<UndoIdentity, UndoPlaced> touched;
    ForEachLine(text, [&touched](const std::vector<std::string_view>& f) {
        UndoIdentity identity;
        UndoPlaced placed;
        if (f[0] == "touched" && f.size() == 10 && ParseIdentity(f, 1, identity) &&
            ParsePlaced(f, 5, placed)) {
            touched[identity] = placed;
        }
    });
    return touched;
}

std::string UndoRestoringLine(uint64_t index, const UndoIdentity& identity) {
    return "restoring\t" + std::to_string(index) + '\t' + IdentityFields(identity) + '\n';
}

std::string UndoDoneLine() {
    return "done\n";
}

UndoLog ParseUndoLog(std::string_view text) {
    UndoLog log;
    ForEachLine(text, [&log](const std::vector<std::string_view>& f) {
        uint64_t index = 0;
        UndoIdentity identity;
        if (f[0] == "restoring" && f.size() == 6 && Number(f[1], index) &&
            ParseIdentity(f, 2, identity)) {
            log.restoring[index] = identity;
        } else if (f[0] == "done" && f.size() == 1) {
            log.done = true;
        }
    });
    return log;
}

size_t RunsToPrune(const std::vector<uint64_t>& copied, size_t keptRuns, uint64_t mostCopied) {
    uint64_t total = 0;
    for (const uint64_t bytes : copied) {
        total += bytes;
    }
    size_t pruned = 0;
    while (pruned < copied.size() && (copied.size() - pruned >= keptRuns || total > mostCopied)) {
        total -= copied[pruned++];
    }
    return pruned;
}

std::string UndoEntryName(uint64_t index) {
    return "f" + std::to_string(index);
}

std::string ShortenedForListing(const std::string& text, size_t most) {
    std::string out;
    for (const char c : text) {
        out += (c == '\n' || c == '\t' || c == '\r') ? ' ' : c;
    }
    if (out.size() <= most) {
        return out;
    }
    // Cut at a character's first byte, so that no UTF-8 sequence is left half.
    size_t cut = most > 3 ? most - 3 : 0;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return out.substr(0, cut) + "...";
}

}  // namespace pellumar
