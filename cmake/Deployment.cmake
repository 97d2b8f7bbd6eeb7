# The addresses built into the programs. Each default is the reference service
# on loopback as scripts/run.sh starts it. In builds for tests an environment
# variable of the same name overrides the value at run time (net/Deployment.h).
option(VANTORO_ENV_OVERRIDES
  "let environment variables replace the built-in addresses (test builds only: any process of the user can set them)"
  OFF)
set(VANTORO_SERVICE_URL "http://127.0.0.1:18080" CACHE STRING "service host, no trailing /")
set(VANTORO_FALLBACK_URL "http://127.0.0.1:18080/fallback/config.json" CACHE STRING
  "fallback file naming a replacement service host in \"head\"")
set(VANTORO_CHAT_URL "http://127.0.0.1:18080/kefu?from=client" CACHE STRING
  "built-in customer-service chat; must carry a query")
set(VANTORO_QQ "800861370" CACHE STRING "customer-service QQ number")
set(VANTORO_DUMPER_API_URL "http://127.0.0.1:18080" CACHE STRING "crash report upload host, no trailing /")
set(VANTORO_SYMBOL_SERVER "http://127.0.0.1:18080/symbols" CACHE STRING "symbol server of the crash reporter")

# The same values as preprocessor strings, for the one file that builds them
# in and for the tests that compare against them.
if(VANTORO_ENV_OVERRIDES)
  set(VANTORO_DEPLOYMENT_DEFINITIONS VANTORO_ENV_OVERRIDES=1)
else()
  set(VANTORO_DEPLOYMENT_DEFINITIONS VANTORO_ENV_OVERRIDES=0)
endif()
foreach(name SERVICE_URL FALLBACK_URL CHAT_URL QQ DUMPER_API_URL SYMBOL_SERVER)
  list(APPEND VANTORO_DEPLOYMENT_DEFINITIONS "VANTORO_${name}=\"${VANTORO_${name}}\"")
endforeach()
