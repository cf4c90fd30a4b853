# cmake -DTESSARY_SOURCE_DIR=<repository> -P cmake/CheckIncludes.cmake
#
# The include rule: the folders depend on each other one way only, as the
# layout in the README draws it, and every folder includes from the
# repository root ("map/quilbo.h"), so the compiler alone cannot tell a
# wrong-way include. This script can: it reads every #include "..." of the
# product's sources and fails, naming file and include, when a folder
# includes from a folder it may not. The build runs it (target
# include_rules) and so does CTest.
#
# Each rule is "<folder>: <the folders it may include from>"; a folder's own
# files are always allowed. The plug-in (map, ui, plugin and their leaves)
# compiles against the host's SDK surface only, never its runtime; the SDK
# stands alone above Win32; the product never includes tests, fuzz targets
# or benchmarks. Folders without a rule (tests, fuzz, bench) may include
# anything. (Runtime headers also refuse plug-in code when compiled:
# host/runtime/runtime_only.h.)

cmake_policy(VERSION 3.25)

set(_rules
  "platform: "
  "host/sdk: platform"
  "host/runtime: host/sdk platform resources"
  "compositing: host/sdk"
  "bump: compositing host/sdk"
  "resources: "
  "module_text: platform"
  "plugin_api: compositing host/sdk"
  "map: plugin_api module_text compositing bump host/sdk platform resources"
  "ui: map plugin_api module_text compositing host/sdk platform resources"
  "plugin: ui map plugin_api module_text host/sdk platform resources"
  "app: plugin_api compositing bump host/sdk host/runtime platform")
# Folders no product folder may include.
set(_test_folders tests fuzz bench)

if(NOT TESSARY_SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludes.cmake: set TESSARY_SOURCE_DIR to the repository")
endif()

set(_known ${_test_folders})
foreach(_rule IN LISTS _rules)
  string(REGEX MATCH "^[a-z_/]+" _folder "${_rule}")
  list(APPEND _known ${_folder})
endforeach()

set(_broken 0)
foreach(_rule IN LISTS _rules)
  string(REGEX MATCH "^([a-z_/]+):(.*)$" _ignored "${_rule}")
  set(_folder "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "[a-z_/]+" _allowed "${CMAKE_MATCH_2}")
  list(APPEND _allowed ${_folder})
  file(GLOB_RECURSE _files LIST_DIRECTORIES false
       "${TESSARY_SOURCE_DIR}/${_folder}/*.h" "${TESSARY_SOURCE_DIR}/${_folder}/*.cpp"
       "${TESSARY_SOURCE_DIR}/${_folder}/*.rc")
  foreach(_file IN LISTS _files)
    file(STRINGS "${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(_line IN LISTS _lines)
      if(NOT _line MATCHES "\"([^\"]+)\"")
        continue()
      endif()
      set(_included "${CMAKE_MATCH_1}")
      # The folder an include names: the longest known folder it starts with
      # (includes relative to the including file name none).
      set(_target "")
      foreach(_candidate IN LISTS _known)
        string(LENGTH "${_candidate}" _length)
        string(LENGTH "${_target}" _best)
        if(_included MATCHES "^${_candidate}/" AND _length GREATER _best)
          set(_target "${_candidate}")
        endif()
      endforeach()
      if(_target STREQUAL "" OR _target IN_LIST _allowed)
        continue()
      endif()
      file(RELATIVE_PATH _shown "${TESSARY_SOURCE_DIR}" "${_file}")
      message(SEND_ERROR "${_shown}: includes \"${_included}\": ${_folder}/ may not include from ${_target}/")
      set(_broken 1)
    endforeach()
  endforeach()
endforeach()

if(_broken)
  message(FATAL_ERROR "wrong-way includes found (the rules are in cmake/CheckIncludes.cmake)")
endif()
