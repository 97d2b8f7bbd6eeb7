#include "platform/StartupTrace.h"

#include <windows.h>

namespace {

bool TraceOn() {
    if (!VANTORO_ENV_OVERRIDES) return false;
    static const bool on = GetEnvironmentVariableW(L"VANTORO_STARTUP_TRACE", nullptr, 0) > 0;
    return on;
}

}  // namespace

void TraceStartup(const std::string& mark) {
    if (TraceOn()) OutputDebugStringA(("trace: " + mark + "\n").c_str());
}
