// Where the programs find the outside world. Each address is a constant of
// the build (a CMake cache variable of the same name). Only a build configured
// with VANTORO_ENV_OVERRIDES (scripts/build.sh, for the tests and a staging
// setup) lets an environment variable of that name override it at run time:
//   VANTORO_SERVICE_URL     the service host, no trailing "/"
//   VANTORO_FALLBACK_URL    the fallback file naming a replacement host
//   VANTORO_CHAT_URL        the built-in customer-service chat (carries a query)
//   VANTORO_QQ              the customer-service QQ number
//   VANTORO_DUMPER_API_URL  the crash reporter's upload host, no trailing "/"
//   VANTORO_SYMBOL_SERVER   the crash reporter's symbol server
// There an unset or empty variable leaves the built-in value. A shipped build
// (scripts/release.sh) reads no environment at all: the programs run as
// administrator, and any unelevated process of the user can set variables
// (HKCU\Environment) that an elevated program started later inherits.
#pragma once
#include <string>

namespace deployment {

std::string ServiceUrl();
std::string FallbackUrl();
std::wstring ChatUrl();
std::wstring QqNumber();
std::string DumperApiUrl();
std::wstring SymbolServer();

// The environment variable name, or builtIn when it is unset or empty or the
// build takes no overrides.
std::wstring Setting(const wchar_t* name, const wchar_t* builtIn);

}  // namespace deployment
