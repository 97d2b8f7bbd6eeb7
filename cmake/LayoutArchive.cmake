# The layout archive: the zip of layout XML and images that each program
# carries as its resource of type "ZIPRES", name "IDR_ZIPRES", where the UI
# toolkit reads its windows from.
#
#   vantoro_layout_archive(<target> <folder>...)
#
# The folders' files are merged in the order given, each at its path relative
# to its folder, so a later folder's file replaces an earlier one of the same
# name. Files whose name starts with "." are left out. Entries go in sorted
# order with one fixed time and nothing else from the disk (cmake/pack-zip.py),
# so the same files give the same archive. The zip is packed at
# build time and repacked whenever one of the files changes; a file added or
# removed is picked up by the next build (the folder is globbed again).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_vantoro_pack_zip "${CMAKE_CURRENT_LIST_DIR}/pack-zip.py")

function(vantoro_layout_archive target)
  if(NOT ARGN)
    message(FATAL_ERROR "vantoro_layout_archive(${target}): no folders given")
  endif()
  set(stage "${CMAKE_CURRENT_BINARY_DIR}/${target}-layouts")
  set(zip "${CMAKE_CURRENT_BINARY_DIR}/${target}-layouts.zip")
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}-layouts.rc")

  set(names)
  set(sources)
  set(copies)
  foreach(folder IN LISTS ARGN)
    cmake_path(ABSOLUTE_PATH folder BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
               OUTPUT_VARIABLE dir)
    if(NOT IS_DIRECTORY "${dir}")
      message(FATAL_ERROR "vantoro_layout_archive(${target}): ${dir} is not a folder")
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false CONFIGURE_DEPENDS RELATIVE "${dir}" "${dir}/*")
    list(FILTER files EXCLUDE REGEX "(^|/)\\.")
    foreach(name IN LISTS files)
      list(APPEND sources "${dir}/${name}")
    endforeach()
    list(APPEND names ${files})
    list(APPEND copies COMMAND "${CMAKE_COMMAND}" -E copy_directory "${dir}" "${stage}")
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  if(NOT names)
    message(FATAL_ERROR "vantoro_layout_archive(${target}): the folders hold no files")
  endif()

  # Staged first, so that the zip names are relative and folders can merge.
  add_custom_command(OUTPUT "${zip}"
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${stage}"
    ${copies}
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${zip}"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${stage}" "${Python3_EXECUTABLE}" "${_vantoro_pack_zip}" "${zip}" ${names}
    DEPENDS ${sources} "${_vantoro_pack_zip}"
    COMMENT "Packing the layout archive of ${target}"
    VERBATIM)

  file(CONFIGURE OUTPUT "${rc}" CONTENT "IDR_ZIPRES ZIPRES \"@zip@\"\n" @ONLY)
  # windres does not report the files a script pulls in, so say it here.
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${zip}")
  target_sources(${target} PRIVATE "${rc}" "${zip}")
endfunction()
