# Installs the build into a staging prefix and renders the bundled showcase
# from there; then makes the Debian package, unpacks it into a folder and does
# the same from the unpacked tree. Nothing may come from the build tree: the
# program finds its module and examples relative to itself.
#   cmake -DBUILD_DIR=... -DSTAGE=... -P check_install.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
unset(ENV{TESSARY_MODULE})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}${err}")
  endif()
  message(STATUS "${out}")
endfunction()

# Renders the showcase and the modes sheet with the tree under `root`.
function(render_from root label)
  foreach(f bin/tessary lib/tessary/quilbo.so lib/tessary/quilbo_netrender.so lib/tessary/tessary_images.so
            share/tessary/examples/showcase.json
            share/doc/tessary/scene.schema.json)
    if(NOT EXISTS ${root}/${f})
      message(FATAL_ERROR "${label}: ${f} is missing")
    endif()
  endforeach()
  run(${root}/bin/tessary render ${root}/share/tessary/examples/showcase.json -o ${STAGE}/${label}-showcase.png
      --size 96 -q)
  run(${root}/bin/tessary modes -o ${STAGE}/${label}-modes.png --tile 32)
  foreach(image ${label}-showcase.png ${label}-modes.png)
    if(NOT EXISTS ${STAGE}/${image})
      message(FATAL_ERROR "${label}: ${image} was not written")
    endif()
  endforeach()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE}/prefix)
render_from(${STAGE}/prefix installed)

run(cpack -G DEB -B ${STAGE}/package --config ${BUILD_DIR}/CPackConfig.cmake)
file(GLOB debs ${STAGE}/package/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb, found: ${debs}")
endif()
execute_process(COMMAND dpkg-deb -f ${debs} Package Depends OUTPUT_VARIABLE fields RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT fields MATCHES "Package: tessary" OR NOT fields MATCHES "libopenimageio" OR
   NOT fields MATCHES "fonts-dejavu-core")
  message(FATAL_ERROR "the package's fields are not as expected:\n${fields}")
endif()
run(dpkg-deb -x ${debs} ${STAGE}/unpacked)
render_from(${STAGE}/unpacked/usr deb)
message(STATUS "installed and packaged trees render the showcase")
