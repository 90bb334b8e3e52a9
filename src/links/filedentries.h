#pragma once
// Where files given from outside (a file manager's "open with", a second start of the
// program) are filed: the entries of every group whose stored path names the file as
// this system sees it, whichever form it was stored in. Texts are CP932.
#include <string>
#include <vector>

#include "links/linkscan.h"
#include "text/rootmap.h"

struct FiledFile {
    std::string path;                 // as given, a path of this system
    std::vector<LinkEntry> entries;   // in group and entry order; none: not filed
};

// One item per path, in the order given (a path given twice once).
std::vector<FiledFile> WhereFiled(const std::vector<LinkEntry>& entries, const std::vector<std::string>& paths,
                                  const RootMappings& mappings);
