// Fixer's hand-off of an unhandled exception to the crash reporter. Installed
// first thing at start-up, so that every later crash reaches it.
#pragma once

// Installs the process's unhandled-exception filter. Until the reporter's
// hand-off is built this leaves the system's own crash handling in place.
inline void InstallCrashFilter() {}
