#pragma once

#include "CliOptions.h"
#include "SearchRequest.h"

namespace pellumar::cli {

// The search the command line asks for.
SearchRequest RequestFor(const CliOptions& options);

}  // namespace pellumar::cli
