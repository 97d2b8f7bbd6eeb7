// Where the programs find the outside world. Each address is a constant of
// the build (a CMake cache variable of the same name) that an environment
// variable overrides at run time, so that tests and a staging setup can point
// a built program elsewhere without rebuilding:
//   VANTORO_SERVICE_URL     the service host, no trailing "/"
//   VANTORO_FALLBACK_URL    the fallback file naming a replacement host
//   VANTORO_CHAT_URL        the built-in customer-service chat (carries a query)
//   VANTORO_QQ              the customer-service QQ number
//   VANTORO_DUMPER_API_URL  the crash reporter's upload host, no trailing "/"
//   VANTORO_SYMBOL_SERVER   the crash reporter's symbol server
// An unset or empty variable leaves the built-in value. Nothing else in the
// programs reads the environment.
#pragma once
#include <string>

namespace deployment {

std::string ServiceUrl();
std::string FallbackUrl();
std::wstring ChatUrl();
std::wstring QqNumber();
std::string DumperApiUrl();
std::wstring SymbolServer();

// The environment variable name, or builtIn when it is unset or empty.
std::wstring Setting(const wchar_t* name, const wchar_t* builtIn);

}  // namespace deployment
