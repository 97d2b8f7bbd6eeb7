// Marks along Fixer's start-up for scripts/bench-startup.sh, and along
// Dumper's analysis for scripts/bench-crash.sh, which read them from the
// debugger output:
//   TraceStartup("COM and OLE started");   // "trace: COM and OLE started"
// Only a test build (VANTORO_ENV_OVERRIDES) started with VANTORO_STARTUP_TRACE
// set writes them; a shipped build reads no environment and writes nothing.
#pragma once
#include <string>

void TraceStartup(const std::string& mark);
