// This system keeps no record of temporary files yet: a file being replaced stays open until its
// new content is in place, and its temporary file is deleted when that fails.
#include "TempRecord.h"

namespace pellumar {

TempRecord::TempRecord(Sys& sys, std::string store, std::string)
    : m_sys(sys), m_strBase(std::move(store)) {}

std::string TempRecord::MemoryFolder() {
    return {};
}

TempRecord::~TempRecord() = default;

bool TempRecord::Begin() {
    return false;
}

void TempRecord::Making(int, const std::string&, std::string_view) {}

void TempRecord::Made(int, const std::string&, std::string_view, uint64_t, uint64_t) {}

void TempRecord::Exchanging(int, const std::string&, std::string_view, FileKey, FileKey) {}

void TempRecord::Taken(int, const std::string&, std::string_view) {}

void TempRecord::Keeping(int, const std::string&, std::string_view) {}

size_t TempRecord::CleanUp(Sys&, const std::string&, const std::string&) {
    return 0;
}

}  // namespace pellumar
