# cmake -DTESSARY_SOURCE_DIR=<repository> -P cmake/CheckIncludes.cmake
#
# The include rule: the folders depend on each other one way only, as the
# layout in the README draws it, and every folder includes from the
# repository root ("map/quilbo.h"), so the compiler alone cannot tell a
# wrong-way include. This script can: it reads every #include "..." of the
# product's sources and fails, naming file, line and include, when a folder
# includes from a folder it may not. The build runs it (target
# include_rules) and so does CTest.
#
# Each rule is "<folder>: <the folders it may include from>"; a folder's own
# files are always allowed. Folders without a rule (tests, fuzz, bench) may
# include anything.

cmake_policy(VERSION 3.25)

set(_rules
  "platform: "
  "host: platform"
  "compositing: host"
  "bump: compositing host"
  "resources: "
  "module_text: platform"
  "plugin_api: compositing host"
  "map: plugin_api module_text compositing bump host platform resources"
  "ui: map plugin_api module_text compositing host platform resources"
  "plugin: ui map plugin_api module_text host platform resources"
  "app: plugin_api compositing host platform")

if(NOT TESSARY_SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludes.cmake: set TESSARY_SOURCE_DIR to the repository")
endif()

set(_known "")
foreach(_rule IN LISTS _rules)
  string(REGEX MATCH "^[a-z_]+" _folder "${_rule}")
  list(APPEND _known ${_folder})
endforeach()

set(_broken 0)
foreach(_rule IN LISTS _rules)
  string(REGEX MATCH "^([a-z_]+):(.*)$" _ignored "${_rule}")
  set(_folder "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "[a-z_]+" _allowed "${CMAKE_MATCH_2}")
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
      # Only includes from the repository root name one of our folders.
      if(NOT _included MATCHES "^([a-z_]+)/")
        continue()
      endif()
      set(_target "${CMAKE_MATCH_1}")
      if(NOT _target IN_LIST _known OR _target IN_LIST _allowed)
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
