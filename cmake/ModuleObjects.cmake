# tessary_module_objects(<name> SOURCES <file>... LIBS <target>...)
#
# One part of the plug-in module (the module text, the map, the editor, the
# entry point) as an object library of its own, compiled with the module's
# hidden visibility. The module and the tests that need the parts' internals
# link the objects; each part names only the parts below it, so its usage
# requirements follow the one-way arrows.
function(tessary_module_objects name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} OBJECT ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE tessary_warnings)
endfunction()
