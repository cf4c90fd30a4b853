# tessary_embed_resources(<target> <script.rc>)
#
# On Windows windres compiles the script into <target>.
#
# Off Windows a module carries its resource script with it: this generates a
# source file holding the script's text and the bytes of every file the
# script references (#include "..." and BITMAP "..."), and adds it to
# <target>. The module then exports them under one unmangled name,
# TessaryHeadlessResources(), which the headless LoadStringA, LoadBitmapA and
# dialog functions look up in the module whose handle they are given.
#
# The same file runs in script mode (cmake -P) to do the generation at build
# time, so an edit of the script or the bitmap regenerates the source.

cmake_policy(VERSION 3.25)

# Collects the files a script references, recursively through its quoted
# includes. Names are kept as written; RESULT gets "name|absolute path" pairs.
function(_tessary_scan_resource_refs script result)
  set(_pairs "")
  set(_queue "${script}")
  set(_seen "")
  while(_queue)
    list(POP_FRONT _queue _file)
    if(_file IN_LIST _seen)
      continue()
    endif()
    list(APPEND _seen "${_file}")
    get_filename_component(_dir "${_file}" DIRECTORY)
    file(STRINGS "${_file}" _lines REGEX "^[ \t]*(#[ \t]*include[ \t]*\"|[A-Za-z0-9_]+[ \t]+(BITMAP|ICON|CURSOR|RCDATA)[ \t])")
    foreach(_line IN LISTS _lines)
      if(_line MATCHES "\"([^\"]+)\"")
        set(_name "${CMAKE_MATCH_1}")
        set(_path "${_dir}/${_name}")
        if(NOT EXISTS "${_path}")
          message(FATAL_ERROR "${_file}: referenced file '${_name}' not found")
        endif()
        list(APPEND _pairs "${_name}|${_path}")
        if(_line MATCHES "^[ \t]*#")
          list(APPEND _queue "${_path}")
        endif()
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES _pairs)
  set(${result} "${_pairs}" PARENT_SCOPE)
endfunction()

function(_tessary_hex_array var file out)
  file(READ "${file}" _hex HEX)
  file(SIZE "${file}" _size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  set(${out} "static const unsigned char ${var}[] = {\n  ${_bytes}0x00};\n" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED TESSARY_EMBED_SCRIPT)
  _tessary_scan_resource_refs("${TESSARY_EMBED_SCRIPT}" _refs)
  get_filename_component(_script_name "${TESSARY_EMBED_SCRIPT}" NAME)
  set(_src "// Generated from ${_script_name} by cmake/EmbedResources.cmake. Do not edit.\n")
  string(APPEND _src "#include \"platform/headless/embedded_resources.h\"\n\nnamespace {\n")
  _tessary_hex_array(kScript "${TESSARY_EMBED_SCRIPT}" _arr)
  string(APPEND _src "${_arr}")
  file(SIZE "${TESSARY_EMBED_SCRIPT}" _script_size)
  set(_entries "")
  set(_i 0)
  foreach(_pair IN LISTS _refs)
    string(REPLACE "|" ";" _parts "${_pair}")
    list(GET _parts 0 _name)
    list(GET _parts 1 _path)
    _tessary_hex_array(kFile${_i} "${_path}" _arr)
    string(APPEND _src "${_arr}")
    file(SIZE "${_path}" _size)
    string(APPEND _entries "  {\"${_name}\", kFile${_i}, ${_size}u},\n")
    math(EXPR _i "${_i} + 1")
  endforeach()
  if(_i EQUAL 0)
    string(APPEND _entries "  {nullptr, nullptr, 0u},\n")
  endif()
  string(APPEND _src "const HeadlessResourceFile kFiles[] = {\n${_entries}};\n")
  string(APPEND _src "const HeadlessResources kResources = {\"${_script_name}\", kScript, ${_script_size}u, kFiles, ${_i}u};\n")
  string(APPEND _src "}  // namespace\n\n")
  string(APPEND _src "extern \"C\" TESSARY_RESOURCES_EXPORT const HeadlessResources* TessaryHeadlessResources() {\n  return &kResources;\n}\n")
  file(WRITE "${TESSARY_EMBED_OUTPUT}.tmp" "${_src}")
  file(RENAME "${TESSARY_EMBED_OUTPUT}.tmp" "${TESSARY_EMBED_OUTPUT}")
  return()
endif()

set(_TESSARY_EMBED_SELF "${CMAKE_CURRENT_LIST_FILE}")

function(tessary_embed_resources target script)
  get_filename_component(_abs "${script}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
  if(WIN32)
    # windres compiles the script into the module; it finds the files the
    # script names (the banner bitmap) beside the script.
    get_filename_component(_dir "${_abs}" DIRECTORY)
    target_sources(${target} PRIVATE "${_abs}")
    set_property(SOURCE "${_abs}" TARGET_DIRECTORY ${target} APPEND PROPERTY COMPILE_OPTIONS "--include-dir=${_dir}")
    return()
  endif()
  _tessary_scan_resource_refs("${_abs}" _refs)
  set(_deps "${_abs}")
  foreach(_pair IN LISTS _refs)
    string(REPLACE "|" ";" _parts "${_pair}")
    list(GET _parts 1 _path)
    list(APPEND _deps "${_path}")
  endforeach()
  get_filename_component(_stem "${script}" NAME_WE)
  set(_out "${CMAKE_CURRENT_BINARY_DIR}/${target}_${_stem}_resources.cpp")
  add_custom_command(
    OUTPUT "${_out}"
    COMMAND ${CMAKE_COMMAND} -DTESSARY_EMBED_SCRIPT=${_abs} -DTESSARY_EMBED_OUTPUT=${_out}
            -P "${_TESSARY_EMBED_SELF}"
    DEPENDS ${_deps} "${_TESSARY_EMBED_SELF}"
    COMMENT "Embedding ${script} into ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE "${_out}")
  # The program's own resources are found through the program's handle, so
  # an executable exports its symbols too.
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "EXECUTABLE")
    set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  endif()
endfunction()
