#include "CliOptions.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace pellumar::cli {

namespace {

using Flag = bool CliOptions::*;

constexpr const char* kNoRunZero =
    "there is no run 0: runs are numbered from 1, as --history lists them";

const std::map<std::string, std::pair<Flag, bool>>& Switches() {
    static const std::map<std::string, std::pair<Flag, bool>> kSwitches = {
        {"--search-only", {&CliOptions::bSearchOnly, true}},
        {"--subfolders", {&CliOptions::bSubfolders, true}},
        {"--no-subfolders", {&CliOptions::bSubfolders, false}},
        {"--hidden", {&CliOptions::bHidden, true}},
        {"--no-hidden", {&CliOptions::bHidden, false}},
        {"--ignore-case", {&CliOptions::bIgnoreCase, true}},
        {"--match-case", {&CliOptions::bIgnoreCase, false}},
        {"--regex", {&CliOptions::bRegex, true}},
        {"--yes", {&CliOptions::bYes, true}},
        {"--long", {&CliOptions::bLong, true}},
        {"--null", {&CliOptions::bNull, true}},
        {"--quiet", {&CliOptions::bQuiet, true}},
        {"--no-messages", {&CliOptions::bMessages, false}},
        {"--no-undo", {&CliOptions::bKeepUndo, false}},
        {"--count", {&CliOptions::bCount, true}},
        {"--dry-run", {&CliOptions::bDryRun, true}},
        {"--lines", {&CliOptions::bLines, true}},
        {"--diff", {&CliOptions::bDiff, true}},
        {"--history", {&CliOptions::bHistory, true}},
        {"--help", {&CliOptions::bHelp, true}},
        {"--version", {&CliOptions::bVersion, true}},
    };
    return kSwitches;
}

bool SetValue(CliOptions& options, const std::string& name, const std::string& value,
              std::string* error) {
    if (name == "--folder") {
        options.strFolder = value;
    } else if (name == "--filter") {
        options.strFilter = value;
    } else if (name == "--search") {
        options.strSearch = value;
    } else if (name == "--replace") {
        options.strReplace = value;
        options.bReplace = true;
    } else if (value == "ask" || value == "abort" || value == "skip") {
        options.onError = value == "ask"     ? OnError::Ask
                          : value == "abort" ? OnError::Abort
                                             : OnError::Skip;
    } else {
        *error = "--on-error takes ask, abort or skip, not '" + value + "'";
        return false;
    }
    return true;
}

// --color alone is --color=auto.
bool SetColor(CliOptions& options, const std::optional<std::string>& value, std::string* error) {
    const std::string when = value.value_or("auto");
    if (when != "auto" && when != "always" && when != "never") {
        *error = "--color takes auto, always or never, not '" + when + "'";
        return false;
    }
    options.color = when == "always"  ? ColorWhen::Always
                    : when == "never" ? ColorWhen::Never
                                      : ColorWhen::Auto;
    return true;
}

// A run's number, as --history lists it.
std::optional<uint64_t> RunNumber(const std::string& text) {
    uint64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || id == 0) {
        return std::nullopt;
    }
    return id;
}

// --undo takes a run's number when one follows it, and the last run otherwise.
bool SetUndo(CliOptions& options, const std::vector<std::string>& args, size_t& i,
             const std::optional<std::string>& value, std::string* error) {
    options.bUndo = true;
    if (value) {
        options.undoRun = RunNumber(*value);
        if (!options.undoRun) {
            *error = !value->empty() && value->find_first_not_of('0') == std::string::npos
                         ? kNoRunZero
                         : "--undo takes the number of a run, as --history lists it, not '" +
                               *value + "'";
            return false;
        }
    } else if (i + 1 < args.size() && RunNumber(args[i + 1])) {
        options.undoRun = RunNumber(args[++i]);
    } else if (i + 1 < args.size() && args[i + 1].find_first_not_of('0') == std::string::npos &&
               !args[i + 1].empty()) {
        *error = kNoRunZero;
        return false;
    }
    return true;
}

// The options of a search, which an undo or the history would take no notice of.
constexpr const char* kSearchOptions[] = {
    "--folder",        "--filter",  "--search",    "--replace",     "--search-only", "--subfolders",
    "--no-subfolders", "--hidden",  "--no-hidden", "--ignore-case", "--match-case",  "--on-error",
    "--count",         "--dry-run", "--long",      "--null",        "--no-undo",     "--regex",
    "--lines",         "--diff",    "--color"};

// Options that exclude each other, each pair as the message names it.
constexpr std::pair<const char*, const char*> kExclusive[] = {
    {"--undo", "--history"}, {"--count", "--long"}, {"--lines", "--count"}, {"--lines", "--long"},
    {"--lines", "--diff"},   {"--diff", "--count"}, {"--diff", "--long"},   {"--diff", "--null"},
};

bool Given(const CliOptions& options, std::string_view name) {
    return std::find(options.given.begin(), options.given.end(), name) != options.given.end();
}

// A combination that would run other than as asked: its message, or "".
std::string Conflict(const CliOptions& options) {
    for (const auto& [first, second] : kExclusive) {
        if (Given(options, first) && Given(options, second)) {
            return std::string(first) + " and " + second + " exclude each other";
        }
    }
    if (options.bLines && options.strSearch.empty()) {
        return "--lines needs --search TEXT";
    }
    if (options.bLines && !options.SearchesOnly()) {
        return "--lines goes with a search; --diff shows what a replacement changes";
    }
    if (options.bDiff && options.SearchesOnly()) {
        return "--diff needs --replace TEXT";
    }
    for (const char* mode : {"--undo", "--history"}) {
        if (!Given(options, mode)) {
            continue;
        }
        for (const char* search : kSearchOptions) {
            if (Given(options, search)) {
                return std::string(search) + " goes with a search, not with " + mode;
            }
        }
    }
    return {};
}

bool TakesValue(const std::string& name) {
    return name == "--folder" || name == "--filter" || name == "--search" || name == "--replace" ||
           name == "--on-error";
}

}  // namespace

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args,
                                          std::string* error) {
    CliOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (const auto it = Switches().find(name); it != Switches().end() && !value) {
            options.*(it->second.first) = it->second.second;
            options.given.push_back(name);
            continue;
        }
        options.given.push_back(name);
        if (name == "--undo" || name == "--color") {
            if (name == "--undo" ? !SetUndo(options, args, i, value, error)
                                 : !SetColor(options, value, error)) {
                return std::nullopt;
            }
            continue;
        }
        if (!TakesValue(name)) {
            *error = "unknown option '" + args[i] + "'";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                *error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!SetValue(options, name, *value, error)) {
            return std::nullopt;
        }
    }
    if (std::string conflict = Conflict(options); !conflict.empty()) {
        *error = std::move(conflict);
        return std::nullopt;
    }
    return options;
}

const char* CliUsage() {
    return "Usage: pellumar --folder DIR [--filter PATTERN] [--search TEXT]\n"
           "                [--replace TEXT | --search-only]\n"
           "                [--subfolders | --no-subfolders] [--hidden | --no-hidden]\n"
           "                [--ignore-case | --match-case] [--regex] [--yes]\n"
           "                [--on-error ask|abort|skip]\n"
           "                [--count] [--dry-run] [--long] [--null] [--quiet]\n"
           "                [--no-messages] [--no-undo] [--lines | --diff]\n"
           "                [--color[=auto|always|never]]\n"
           "       pellumar --undo [ID] [--yes]\n"
           "       pellumar --history\n"
           "\n"
           "Searches every file below DIR whose name matches PATTERN (default \"*.*\", every\n"
           "file) for TEXT and prints the path of each file that holds it. With --replace,\n"
           "every occurrence is replaced in place. No --search lists every matching file.\n"
           "Each file or folder that cannot be read or changed is named on standard error\n"
           "(not with --no-messages). --no-hidden leaves out dot-files and dot-folders.\n"
           "--count follows each path with its number of matches (PATH:N). --dry-run with\n"
           "--replace lists the files that would change, with their counts, and writes\n"
           "nothing.\n"
           "--lines prints each line that holds the text as grep -Hn does (PATH:N:LINE);\n"
           "--diff with --replace prints a unified diff of each file as it changes (with\n"
           "--dry-run, before anything is written), for patch -p1 in DIR. --color colours\n"
           "them as grep does: auto (the default) when the output is a terminal and\n"
           "NO_COLOR is not set, always, or never.\n"
           "--regex makes TEXT a Perl-style regular expression, matched against each file\n"
           "whole (^ and $ at every line, . not a line feed); in the replacement $1, ${1} or\n"
           "${name} put in a group, $0 the whole match, $$ a dollar sign. For example:\n"
           "  pellumar --folder src --regex --search 'get_(\\w+)' --replace 'fetch_$1'\n"
           "  pellumar --folder notes --regex --search '(\\d+)/(\\d+)' --replace '$2.$1'\n"
           "  pellumar --folder . --regex --search '^TODO\\b' --count\n"
           "A replacement keeps the old content of each file it changes (not with\n"
           "--no-undo): --undo takes back the last replacement, or run ID of --history, for\n"
           "every file still as the replacement left it.\n"
           "Exit status: 0 files were reported, 1 none, 2 an error, a file or folder passed\n"
           "over, or aborted; 130 interrupted.\n";
}

}  // namespace pellumar::cli
