#include "CliUndo.h"

#include <cstdio>
#include <string>

#include "CliPrompt.h"
#include "Escaped.h"
#include "FileSystem.h"
#include "UndoStore.h"
#include "UndoText.h"

namespace pellumar::cli {

namespace {

void Say(const std::string& message) {
    const std::string shown = Escaped(message);
    std::fputs("pellumar: ", stderr);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

// A run as a terminal shows it: the texts and names it holds, escaped.
UndoRunSummary ForTerminal(UndoRunSummary run) {
    for (std::string* text :
         {&run.header.search, &run.header.replace, &run.header.folder, &run.header.filter})
        *text = Escaped(*text);
    return run;
}

std::optional<UndoRunSummary> RunToTakeBack(UndoStore& store, const CliOptions& options) {
    if (!options.undoRun) {
        return store.LastToUndo();
    }
    for (UndoRunSummary& run : store.History()) {
        if (run.id == *options.undoRun) {
            return std::move(run);
        }
    }
    return std::nullopt;
}

bool Confirmed(const UndoRunSummary& run, const CliOptions& options) {
    if (options.bYes) {
        return true;
    }
    return ConfirmChange(UndoQuestionText(ForTerminal(run)), "take back a replacement",
                         "take it back");
}

}  // namespace

int ListUndoHistory() {
    UndoStore store(UndoStore::DefaultFolder());
    for (const UndoRunSummary& run : store.History()) {
        const std::string line = UndoHistoryLine(ForTerminal(run)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : 2;
}

// Each file left as it is is named, as grep names what it could not read; the status is 2
// when any was left, so that a script sees the tree is not wholly back.
int TakeBack(const CliOptions& options, const std::function<bool()>& stopped) {
    if (!UndoStore::Available()) {
        Say("this system keeps no undo copies");
        return 2;
    }
    UndoStore store(UndoStore::DefaultFolder());
    store.CleanUpLeftovers();  // even where nothing is left to take back
    const std::optional<UndoRunSummary> run = RunToTakeBack(store, options);
    if (!run) {
        Say(options.undoRun ? "no run " + std::to_string(*options.undoRun) +
                                  " is kept; pellumar --history lists the kept runs"
                            : "no replacement is kept that was not taken back already");
        return options.undoRun ? 2 : 1;
    }
    if (!Confirmed(*run, options)) {
        return 2;
    }
    const UndoOutcome outcome = store.Undo(run->id, stopped);
    if (outcome.error != 0 && !outcome.stopped) {
        Say(outcome.where + ": " + FileSystem::ErrorText(outcome.error));
        return 2;
    }
    for (const UndoLeft& left : options.bMessages ? outcome.left : std::vector<UndoLeft>()) {
        Say(left.path + ": left as it is: " + left.reason);
    }
    if (!options.bQuiet) {
        Say(UndoOutcomeText(outcome));
    }
    if (outcome.stopped) {
        return -1;  // the caller tells the signal
    }
    return outcome.left.empty() ? 0 : 2;
}

}  // namespace pellumar::cli
