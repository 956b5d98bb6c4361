// The scan kernel's speed in bytes per second, for each length of text and both case modes,
// and a whole search of one file in memory. Run it through bench/kernel.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "CSearchThread.h"
#include "LiteralFinder.h"

namespace {

using namespace pellumar;

// Text of English-like words and lines: 16 MiB, the same on every run.
const std::string& Text() {
    static const std::string text = [] {
        const char* words[] = {"the",    "of",   "and",    "static", "int",    "return", "include",
                               "value",  "for",  "if",     "while",  "struct", "const",  "char",
                               "define", "self", "import", "def",    "None",   "print"};
        std::mt19937 random(7);
        std::string out;
        while (out.size() < (16u << 20)) {
            out += words[random() % std::size(words)];
            out += random() % 8 == 0 ? '\n' : ' ';
        }
        return out;
    }();
    return text;
}

// A text of `length` bytes found nowhere in Text(), made of letters that are everywhere in it,
// so that its first and last bytes pick out many candidates.
std::string Rare(size_t length) {
    if (length == 1) {
        return "~";  // one byte is either everywhere or nowhere: nowhere, as a rare text
    }
    const std::string letters = "eftnaiteofsaindx";
    std::string pattern;
    for (size_t i = 0; i < length; ++i) {
        pattern += letters[i % letters.size()];
    }
    return pattern;
}

void Find(benchmark::State& state) {
    const size_t length = static_cast<size_t>(state.range(0));
    const bool ignoreCase = state.range(1) != 0;
    std::string pattern = Rare(length);
    for (char& c : pattern) {
        c = ignoreCase && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    }
    const LiteralFinder finder(pattern, ignoreCase);
    const auto* bytes = reinterpret_cast<const unsigned char*>(Text().data());
    const size_t starts = Text().size() - length + 1;
    for (auto _ : state) {
        size_t found = 0;
        for (size_t at = finder.Find(bytes, 0, starts); at < starts;
             at = finder.Find(bytes, at + 1, starts)) {
            ++found;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
    state.SetLabel(ignoreCase ? "ignore case" : "match case");
}
BENCHMARK(Find)->ArgsProduct({{1, 2, 3, 4, 8, 16, 32, 64}, {0, 1}});

class QuietSink final : public ISearchNotify {
  public:
    void OnSearchFound(const std::string&, const FileInformation&) override {}
    ErrorReply OnSearchError(const char*, const CFileException&) override {
        return ErrorReply::StopSearch;
    }
    ErrorReply OnSearchErrorNoRetry(const char*, const CFileException&) override {
        return ErrorReply::StopSearch;
    }
    void OnSearchFinished(int) override {}
};

// One search of a 16 MiB file in memory (/dev/shm), through the whole engine.
void SearchFile(benchmark::State& state) {
    const std::string folder = "/dev/shm/pellumar-kernel-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/f", std::ios::binary) << Text();
    QuietSink sink;
    for (auto _ : state) {
        SearchRequest request;
        request.folder = folder;
        request.filter = "f";
        request.search = Rare(16);
        request.subfolders = false;
        request.searchOnly = true;
        CSearchThread worker(&sink, request);
        worker.Run();
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Text().size()));
}
BENCHMARK(SearchFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
