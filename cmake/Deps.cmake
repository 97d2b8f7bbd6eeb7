# Imported targets for the static libraries built by scripts/build-deps.sh.
# VANTORO_DEPS is the prefix that script prints on its last stdout line.
set(VANTORO_DEPS "$ENV{VANTORO_DEPS}" CACHE PATH "Prefix from scripts/build-deps.sh")
if(NOT VANTORO_DEPS OR NOT EXISTS "${VANTORO_DEPS}/.vantoro-deps-complete")
  message(FATAL_ERROR "VANTORO_DEPS='${VANTORO_DEPS}' is not a finished dependency prefix; "
                      "pass -DVANTORO_DEPS=$(scripts/build-deps.sh | tail -n1)")
endif()

set(VANTORO_DEPS_INCLUDE "${VANTORO_DEPS}/include")
set(VANTORO_DEPS_LIB "${VANTORO_DEPS}/lib")

# Full path on purpose: a plain -lz would pick libz.dll.a and pull in zlib1.dll.
# The prefix's own (frame pointers kept) when it has one, else the packaged one.
set(VANTORO_ZLIB_STATIC_LIB "${VANTORO_DEPS_LIB}/libz.a")
if(NOT EXISTS "${VANTORO_ZLIB_STATIC_LIB}")
  set(VANTORO_ZLIB_STATIC_LIB /usr/${VANTORO_MINGW_TRIPLE}/lib/libz.a)
endif()
if(NOT EXISTS "${VANTORO_ZLIB_STATIC_LIB}")
  message(FATAL_ERROR "${VANTORO_ZLIB_STATIC_LIB} missing (libz-mingw-w64-dev)")
endif()

# zlib.h sits in the cross compiler's default include path already.
if(NOT TARGET deps::zlib)
  add_library(deps::zlib STATIC IMPORTED GLOBAL)
  set_target_properties(deps::zlib PROPERTIES IMPORTED_LOCATION "${VANTORO_ZLIB_STATIC_LIB}")
endif()

function(_vantoro_dep name file)
  if(NOT EXISTS "${VANTORO_DEPS_LIB}/${file}")
    message(FATAL_ERROR "${VANTORO_DEPS_LIB}/${file} missing; rerun scripts/build-deps.sh")
  endif()
  add_library(deps::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(deps::${name} PROPERTIES
    IMPORTED_LOCATION "${VANTORO_DEPS_LIB}/${file}"
    INTERFACE_INCLUDE_DIRECTORIES "${VANTORO_DEPS_INCLUDE}")
endfunction()

if(NOT TARGET deps::curl)
  _vantoro_dep(curl libcurl.a)
  # Schannel/SSPI load secur32 at run time, so it is not listed here.
  set_target_properties(deps::curl PROPERTIES
    INTERFACE_COMPILE_DEFINITIONS CURL_STATICLIB
    INTERFACE_LINK_LIBRARIES "deps::zlib;bcrypt;advapi32;crypt32;ws2_32")

  _vantoro_dep(jsoncpp libjsoncpp.a)
  _vantoro_dep(pugixml libpugixml.a)

  # Headers live in include/minizip: #include <minizip/unzip.h>.
  _vantoro_dep(minizip libminizip.a)
  set_target_properties(deps::minizip PROPERTIES INTERFACE_LINK_LIBRARIES deps::zlib)
endif()

set(VANTORO_CURL_EXE "${VANTORO_DEPS}/bin/curl.exe")

# 7-Zip's standalone console program; Dumper runs it from its own folder.
set(VANTORO_7ZA_EXE "${VANTORO_DEPS}/bin/7za.exe")
if(NOT EXISTS "${VANTORO_7ZA_EXE}")
  message(FATAL_ERROR "${VANTORO_7ZA_EXE} missing; rerun scripts/build-deps.sh")
endif()
