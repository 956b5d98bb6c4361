#include "SearchRunner.h"

#include "CSearchThread.h"

namespace pellumar::test {

int RunSearch(const Request& request, ISearchNotify& sink, Sys& sys) {
    CSearchThread worker(&sink, request.folder, request.filter, request.search, request.replace,
                         request.subfolders, request.searchOnly, request.hidden, request.ignoreCase,
                         sys);
    return worker.Run();
}

}  // namespace pellumar::test
