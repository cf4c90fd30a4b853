# The include rules of the source folders: which folder's headers a folder's
# sources may not include. Run as a test (include_rules) and by hand:
#
#   cmake -DSOURCE_DIR=. -P cmake/CheckIncludes.cmake
#
# Every quoted #include of every .h/.cpp below a folder is matched against the
# prefixes that folder must not reach; each breach is listed as
# "file: includes X (FOLDER must not include PREFIX)" and the script
# fails.
#
# A rule: "FOLDER|PREFIX;PREFIX...". The product never includes test code.
set(_rules
  # The plug-in compiles against the host's SDK only, never its runtime.
  "map|host/runtime/;app/;tests/"
  "ui|host/runtime/;app/;tests/"
  "plugin|host/runtime/;app/;tests/"
  "resources|host/runtime/;app/;tests/"
  # Pure arithmetic below the map.
  "compositing|host/runtime/;map/;ui/;plugin/;app/;tests/"
  "bump|host/runtime/;map/;ui/;plugin/;app/;tests/"
  # The SDK surface stands alone; the runtime sits on it; neither knows the
  # plug-in or the program.
  "host/sdk|host/runtime/;map/;ui/;plugin/;app/;tests/"
  "host/runtime|map/;ui/;plugin/;app/;tests/"
  # Win32 below everything.
  "platform|host/;map/;ui/;plugin/;app/;compositing/;bump/;tests/"
  "app|tests/"
)

if(SOURCE_DIR)
  get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)
endif()
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckIncludes.cmake: pass -DSOURCE_DIR=<repository root>")
endif()

set(_breaches "")
foreach(_rule ${_rules})
  # FOLDER, then its prefixes.
  string(REPLACE "|" ";" _parts "${_rule}")
  list(POP_FRONT _parts _folder)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${_folder}")
    continue()
  endif()
  file(GLOB_RECURSE _files "${SOURCE_DIR}/${_folder}/*.h" "${SOURCE_DIR}/${_folder}/*.cpp")
  foreach(_file ${_files})
    file(STRINGS "${_file}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(_line ${_lines})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" _included "${_line}")
      foreach(_prefix ${_parts})
        string(FIND "${_included}" "${_prefix}" _at)
        if(_at EQUAL 0)
          file(RELATIVE_PATH _rel "${SOURCE_DIR}" "${_file}")
          list(APPEND _breaches "${_rel}: includes ${_included} (${_folder} must not include ${_prefix})")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(_breaches)
  list(LENGTH _breaches _count)
  list(JOIN _breaches "\n" _text)
  message(FATAL_ERROR "${_count} include(s) against the folder rules:\n${_text}")
endif()
message(STATUS "include rules kept")
