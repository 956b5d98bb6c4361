#include "CliOptions.h"

#include <map>

namespace pellumar::cli {

namespace {

using Flag = bool CliOptions::*;

const std::map<std::string, std::pair<Flag, bool>>& Switches() {
    static const std::map<std::string, std::pair<Flag, bool>> kSwitches = {
        {"--search-only", {&CliOptions::bSearchOnly, true}},
        {"--subfolders", {&CliOptions::bSubfolders, true}},
        {"--no-subfolders", {&CliOptions::bSubfolders, false}},
        {"--hidden", {&CliOptions::bHidden, true}},
        {"--no-hidden", {&CliOptions::bHidden, false}},
        {"--ignore-case", {&CliOptions::bIgnoreCase, true}},
        {"--match-case", {&CliOptions::bIgnoreCase, false}},
        {"--yes", {&CliOptions::bYes, true}},
        {"--long", {&CliOptions::bLong, true}},
        {"--null", {&CliOptions::bNull, true}},
        {"--quiet", {&CliOptions::bQuiet, true}},
        {"--no-messages", {&CliOptions::bMessages, false}},
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
    return options;
}

const char* CliUsage() {
    return "Usage: pellumar --folder DIR [--filter PATTERN] [--search TEXT]\n"
           "                [--replace TEXT | --search-only]\n"
           "                [--subfolders | --no-subfolders] [--hidden | --no-hidden]\n"
           "                [--ignore-case | --match-case] [--yes] [--on-error ask|abort|skip]\n"
           "                [--long] [--null] [--quiet] [--no-messages]\n"
           "\n"
           "Searches every file below DIR whose name matches PATTERN (default \"*.*\", every\n"
           "file) for TEXT and prints the path of each file that holds it. With --replace,\n"
           "every occurrence is replaced in place. No --search lists every matching file.\n"
           "Each file or folder that cannot be read or changed is named on standard error\n"
           "(not with --no-messages). --no-hidden leaves out dot-files and dot-folders.\n"
           "Exit status: 0 files were reported, 1 none, 2 an error, a file or folder passed\n"
           "over, or aborted; 130 interrupted.\n";
}

}  // namespace pellumar::cli
