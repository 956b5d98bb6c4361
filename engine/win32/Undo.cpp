// This system keeps no undo copies yet: every replacement runs as with undo turned off.
#include "UndoRecorder.h"
#include "UndoStore.h"

#include <windows.h>

namespace pellumar {

class UndoFolder {};
class BackgroundSync {};

UndoRecorder::UndoRecorder(Sys& sys, std::string, UndoRunHeader header)
    : m_sys(sys), m_header(std::move(header)) {}

UndoRecorder::~UndoRecorder() = default;

int UndoRecorder::Keep(NativeHandle, FileStatus&, const FileStatus&, const std::string&,
                       std::string&, bool) {
    return ERROR_NOT_SUPPORTED;
}

int UndoRecorder::MakeStore() {
    return ERROR_NOT_SUPPORTED;
}

int UndoRecorder::Settle() {
    return 0;
}

int UndoRecorder::WriteOutWaiting() {
    return 0;
}

void UndoRecorder::Withdraw(uint64_t, uint64_t, NativeHandle) {}

void UndoRecorder::Placed(uint64_t, const FileStatus&) {}

void UndoRecorder::Finish() {}

UndoStore::UndoStore(std::string folder, Sys& sys) : m_sys(sys), m_strFolder(std::move(folder)) {}

void UndoStore::CleanUpLeftovers() {}

bool UndoStore::Available() {
    return false;
}

std::string UndoStore::DefaultFolder() {
    return {};
}

std::vector<UndoRunSummary> UndoStore::History() {
    return {};
}

std::optional<UndoRunSummary> UndoStore::LastToUndo() {
    return std::nullopt;
}

UndoOutcome UndoStore::Undo(uint64_t, const std::function<bool()>&) {
    UndoOutcome outcome;
    outcome.error = ERROR_NOT_SUPPORTED;
    return outcome;
}

}  // namespace pellumar
