// The scan-and-replace on arbitrary input: the scan that picks out candidates many bytes at a
// time and the plain reference must turn every file into the same bytes.
//
// Input: a byte of flags (bit 0: ignore case), a byte giving the length of the text to find
// (1 to 64), that text, then the content of the file.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CSearchThread.h"
#include "ScanReference.h"

namespace {

using namespace pellumar;

const std::string kReplacement = "<>";

// Every prompt is a fault here: the files are in a folder of the fuzzer's own.
class StrictSink final : public ISearchNotify {
  public:
    void OnSearchFound(std::string, FileInformation) override {}
    ErrorReply OnSearchError(const char*, const CFileException&) override { std::abort(); }
    ErrorReply OnSearchErrorNoRetry(const char*, const CFileException&) override { std::abort(); }
    void OnSearchFinished(int) override {}
};

// The folder the file is rewritten in, removed when the fuzzer ends.
class Workspace {
  public:
    Workspace() {
        const char* base = std::getenv("TMPDIR");
        m_folder = std::string(base && *base ? base : "/tmp") + "/pellumar-fuzz-XXXXXX";
        if (::mkdtemp(m_folder.data()) == nullptr) {
            std::abort();
        }
    }
    ~Workspace() {
        std::error_code ignored;
        std::filesystem::current_path("/", ignored);
        std::filesystem::remove_all(m_folder, ignored);
    }
    const std::string& Folder() const { return m_folder; }
    std::string File() const { return m_folder + "/f"; }

  private:
    std::string m_folder;
};

std::string Engine(const Workspace& space, const std::string& content, const std::string& pattern,
                   bool ignoreCase) {
    std::ofstream(space.File(), std::ios::binary | std::ios::trunc) << content;
    StrictSink sink;
    CSearchThread worker(&sink, SearchRequest{space.Folder(), "f", pattern, kReplacement, false,
                                              false, true, ignoreCase});
    worker.Run();
    std::ifstream in(space.File(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Workspace space;
    if (size < 2) {
        return 0;
    }
    const bool ignoreCase = (data[0] & 1) != 0;
    const size_t length = 1 + data[1] % 64;
    if (size < 2 + length) {
        return 0;
    }
    const std::string pattern(reinterpret_cast<const char*>(data) + 2, length);
    const std::string content(reinterpret_cast<const char*>(data) + 2 + length, size - 2 - length);
    const std::string expected = test::ReferenceReplace(content, pattern, ignoreCase, kReplacement);
    if (Engine(space, content, pattern, ignoreCase) != expected) {
        std::abort();
    }
    return 0;
}
