// A crash report's trace (its .log, see ReportTrace) resolved against the
// symbol store. Dumper writes the loaded modules at the head,
//   0x<base> 0x<size> <version> <build id or -> <path>
// and a line per frame,
//   >NN: 0x<address> [<module>+0x<offset>] <name (parameters) at file:line, or ?>
// Each frame whose module's build is stored gets the store's function, file
// and line, the inlined calls first; the parameter values Dumper found are
// kept. Any other frame is shown as reported, and a note says why.
#pragma once

#include <string>
#include <vector>

#include "SymbolStore.h"

struct ResolvedTrace {
    std::vector<std::string> notes;  // one clear line each
    std::string text;                // the frames, one block each
    int resolved = 0;                // frames the store resolved

    static ResolvedTrace Resolve(const std::string& log, const SymbolStore& store);
};
