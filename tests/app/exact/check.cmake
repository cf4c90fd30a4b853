# Runs the built `tessary` on the scenes of this folder and compares what it
# prints and writes, byte for byte, with the files in expected/. CTest runs
# it for every build, the Windows ones under Wine: the same files hold for
# all, so all print and write the same bytes.
#
#   cmake -DPROGRAM=bin/tessary [-DEMULATOR=wine64] -DWORK=scratch-folder
#         -DCHECK=eval|files|no-images [-DCASES=regex] [-DUPDATE=ON] -P check.cmake
#
# eval       every case of eval_cases.txt whose name matches CASES (all by
#            default) against expected/eval.txt
# files      each scene file: convert to .tsy (expected/NAME.tsy; twice, the
#            second over the first; not over its own input), that back to
#            JSON on standard output (expected/NAME.from-tsy.json), info of
#            both (expected/NAME.info.txt); no temporary file left
# no-images  a build without image support: render, modes and a scene with
#            a bitmap fail with one line saying so
#
# UPDATE=ON writes the expected files from this build instead (all cases);
# do it on purpose only, look at the differences and commit them.

cmake_minimum_required(VERSION 3.25)
set(HERE ${CMAKE_CURRENT_LIST_DIR})
set(EXPECTED ${HERE}/expected)
set(SCENE_FILES layers)
if(NOT CASES)
  set(CASES ".*")
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# run(<out var> <err var> <exit var> args...): the program in WORK.
function(run out_var err_var rc_var)
  execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGN} WORKING_DIRECTORY ${WORK}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
  set(${rc_var} "${rc}" PARENT_SCOPE)
endfunction()

# run_ok(<out var> args...): as run, failing the check unless it exits 0.
function(run_ok out_var)
  run(out err rc ${ARGN})
  if(NOT rc EQUAL 0)
    string(JOIN " " _args ${ARGN})
    message(FATAL_ERROR "tessary ${_args}: exit ${rc}\n${err}")
  endif()
  set(${out_var} "${out}" PARENT_SCOPE)
endfunction()

set(failures "")

# same_bytes(<label> <expected file> <actual file>)
function(same_bytes label want got)
  if(UPDATE)
    file(COPY_FILE ${got} ${want})
    return()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${want} ${got} RESULT_VARIABLE differ)
  if(differ)
    set(failures "${failures}\n${label}: ${got} differs from ${want}" PARENT_SCOPE)
  endif()
endfunction()

if(CHECK STREQUAL "eval")
  file(STRINGS ${HERE}/eval_cases.txt lines ENCODING UTF-8)
  if(NOT UPDATE)
    file(STRINGS ${EXPECTED}/eval.txt expected_lines ENCODING UTF-8)
    set(expected_names "")
    foreach(line IN LISTS expected_lines)
      if(NOT line MATCHES "^([^ ]+): (.*)$")
        message(FATAL_ERROR "expected/eval.txt: not NAME: OUTPUT: ${line}")
      endif()
      set(want_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
      if(CMAKE_MATCH_1 MATCHES "${CASES}")
        list(APPEND expected_names ${CMAKE_MATCH_1})
      endif()
    endforeach()
  endif()
  set(results "")
  set(count 0)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#" OR line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([^ ]+) ([^ ]+) ([^ ]+) (.+)$")
      message(FATAL_ERROR "eval_cases.txt: not NAME U V SCENE: ${line}")
    endif()
    set(name ${CMAKE_MATCH_1})
    set(u ${CMAKE_MATCH_2})
    set(v ${CMAKE_MATCH_3})
    set(scene "${CMAKE_MATCH_4}")
    if(NOT UPDATE AND NOT name MATCHES "${CASES}")
      continue()
    endif()
    if(scene MATCHES "^@(.+)$")
      file(COPY_FILE ${HERE}/${CMAKE_MATCH_1} ${WORK}/${name}.json)
    else()
      file(WRITE ${WORK}/${name}.json "{\"format\": \"tessary-scene\", \"version\": 2, \"root\": ${scene}}\n")
    endif()
    run_ok(out eval ${name}.json --uv ${u} ${v})
    # One line, "\n" at its end and nowhere else (no "\r" either).
    if(NOT out MATCHES "^[^\r\n]+\n$")
      set(failures "${failures}\n${name}: not one line ending in \\n: [${out}]")
      continue()
    endif()
    string(REGEX REPLACE "\n$" "" out "${out}")
    string(APPEND results "${name}: ${out}\n")
    math(EXPR count "${count} + 1")
    if(NOT UPDATE)
      list(REMOVE_ITEM expected_names ${name})
      if(NOT DEFINED want_${name})
        set(failures "${failures}\n${name}: no expected result in expected/eval.txt")
      elseif(NOT out STREQUAL want_${name})
        set(failures "${failures}\n${name} (uv ${u} ${v}):\n  got  ${out}\n  want ${want_${name}}")
      endif()
    endif()
  endforeach()
  if(UPDATE)
    file(WRITE ${EXPECTED}/eval.txt "${results}")
  elseif(expected_names)
    set(failures "${failures}\nexpected/eval.txt has results of cases that do not exist: ${expected_names}")
  endif()
  if(count EQUAL 0)
    set(failures "${failures}\nno case matches ${CASES}")
  endif()
  message(STATUS "eval: ${count} cases")

elseif(CHECK STREQUAL "files")
  foreach(name IN LISTS SCENE_FILES)
    file(COPY_FILE ${HERE}/${name}.json ${WORK}/${name}.json)
    # Twice: the second replaces the first (Windows' rename would not).
    run_ok(ignored convert ${name}.json ${name}.tsy)
    run_ok(ignored convert ${name}.json ${name}.tsy)
    same_bytes("${name}.json to .tsy" ${EXPECTED}/${name}.tsy ${WORK}/${name}.tsy)
    run(out err rc convert ${name}.tsy ./${name}.tsy)
    if(NOT rc EQUAL 1 OR NOT err MATCHES "is also an input of this command")
      set(failures "${failures}\nconvert ${name}.tsy ./${name}.tsy: exit ${rc}, error [${err}]")
    endif()
    run_ok(json convert ${name}.tsy -)
    file(WRITE ${WORK}/${name}.from-tsy.json "${json}")
    same_bytes("${name}.tsy to JSON" ${EXPECTED}/${name}.from-tsy.json ${WORK}/${name}.from-tsy.json)
    run_ok(info_json info ${name}.json)
    run_ok(info_tsy info ${name}.tsy)
    file(WRITE ${WORK}/${name}.info.txt "${info_json}\n${info_tsy}")
    same_bytes("info of ${name}.json and .tsy" ${EXPECTED}/${name}.info.txt ${WORK}/${name}.info.txt)
  endforeach()
  file(GLOB left LIST_DIRECTORIES true ${WORK}/.*)
  if(left)
    set(failures "${failures}\ntemporary files were left: ${left}")
  endif()

elseif(CHECK STREQUAL "no-images")
  file(WRITE ${WORK}/bitmap.json
       "{\"format\": \"tessary-scene\", \"version\": 1, \"root\": {\"type\": \"tessary\", \"layers\": [\n"
       "  {\"map\": {\"type\": \"checker\"}},\n"
       "  {\"map\": {\"type\": \"bitmap\", \"file\": \"stone.png\"}, \"mode\": \"Multiply\"}]}}\n")
  file(WRITE ${WORK}/stone.png "not read")
  foreach(args "render;bitmap.json;-o;out.png" "modes;-o;sheet.png" "eval;bitmap.json")
    run(out err rc ${args})
    string(REPLACE ";" " " shown "${args}")
    if(NOT rc EQUAL 1 OR NOT out STREQUAL "" OR NOT err MATCHES "^tessary: error: [^\n]*no image support[^\n]*\n$")
      set(failures "${failures}\ntessary ${shown}: exit ${rc}, output [${out}], error [${err}]")
    endif()
  endforeach()
  if(NOT failures)
    run(out err rc eval bitmap.json)
    message(STATUS "a bitmap: ${err}")
  endif()
  file(GLOB left ${WORK}/*.png)
  list(LENGTH left n)
  if(NOT n EQUAL 1)
    set(failures "${failures}\nfiles were written: ${left}")
  endif()

else()
  message(FATAL_ERROR "CHECK must be eval, files or no-images")
endif()

if(failures)
  message(FATAL_ERROR "tessary's output differs from the expected bytes:${failures}")
endif()
file(REMOVE_RECURSE ${WORK})
