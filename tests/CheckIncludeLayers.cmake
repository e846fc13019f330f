# The layers' direction: the engine is the bottom layer and includes nothing
# from the layers built on it (ui/, browser/, export/, shell/); export/ builds
# on the engine and the ui interfaces only, never on browser/ or shell/.
#
#   cmake -DROOT=<source tree> -P CheckIncludeLayers.cmake
#     fails, naming each file and line, when an include crosses a layer the
#     wrong way.
#   cmake -DSELF_TEST_DIR=<scratch folder> -P CheckIncludeLayers.cmake
#     writes a small tree with known wrong and right includes into the scratch
#     folder and fails unless exactly the wrong ones are found.
cmake_minimum_required(VERSION 3.22)

# Appends to OUT_VAR one "file:line: text" entry per include in FOLDER (under
# ROOT_DIR) of a header from one of the FORBIDDEN folders, in both spellings
# ("x/..." and <x/...>) and with leading ../ steps.
function(find_crossing_includes ROOT_DIR FOLDER OUT_VAR)
  set(FORBIDDEN ${ARGN})
  list(JOIN FORBIDDEN "|" _alternatives)
  set(_pattern "^[ \t]*#[ \t]*include[ \t]*[\"<](\\.\\./)*(${_alternatives})/")
  file(GLOB_RECURSE _files LIST_DIRECTORIES false
       ${ROOT_DIR}/${FOLDER}/*.h ${ROOT_DIR}/${FOLDER}/*.hpp
       ${ROOT_DIR}/${FOLDER}/*.cpp ${ROOT_DIR}/${FOLDER}/*.cc ${ROOT_DIR}/${FOLDER}/*.inl)
  set(_found ${${OUT_VAR}})
  foreach(_file IN LISTS _files)
    file(STRINGS ${_file} _lines)
    set(_number 0)
    foreach(_line IN LISTS _lines)
      math(EXPR _number "${_number} + 1")
      if(_line MATCHES "${_pattern}")
        file(RELATIVE_PATH _relative ${ROOT_DIR} ${_file})
        string(STRIP "${_line}" _text)
        list(APPEND _found "${_relative}:${_number}: ${_text}")
      endif()
    endforeach()
  endforeach()
  set(${OUT_VAR} ${_found} PARENT_SCOPE)
endfunction()

function(check_layers ROOT_DIR OUT_VAR)
  set(_found)
  find_crossing_includes(${ROOT_DIR} engine _found ui browser export shell)
  find_crossing_includes(${ROOT_DIR} export _found browser shell)
  set(${OUT_VAR} ${_found} PARENT_SCOPE)
endfunction()

if(DEFINED SELF_TEST_DIR)
  set(_tree ${SELF_TEST_DIR}/tree)
  file(REMOVE_RECURSE ${_tree})
  file(WRITE ${_tree}/engine/Good.h
       "#pragma once\n#include <vector>\n#include \"engine/Other.h\"\n// #include \"ui/InComment.h\" is text\n")
  file(WRITE ${_tree}/engine/Bad.cpp "#include \"engine/Good.h\"\n#include \"ui/Prompts.h\"\n")
  file(WRITE ${_tree}/engine/sub/Deep.h "#pragma once\n  #  include <shell/JobThread.h>\n")
  file(WRITE ${_tree}/export/Bad.h "#pragma once\n#include \"../browser/ObjectTree.h\"\n")
  file(WRITE ${_tree}/export/Good.cpp "#include \"engine/Good.h\"\n#include \"ui/Prompts.h\"\n")
  file(WRITE ${_tree}/browser/Free.cpp "#include \"ui/Prompts.h\"\n#include \"shell/X.h\"\n")
  check_layers(${_tree} _found)
  set(_expected
      "engine/Bad.cpp:2: #include \"ui/Prompts.h\""
      "engine/sub/Deep.h:2: #  include <shell/JobThread.h>"
      "export/Bad.h:2: #include \"../browser/ObjectTree.h\"")
  list(SORT _found)
  if(NOT _found STREQUAL _expected)
    list(JOIN _found "\n  " _got)
    message(FATAL_ERROR "the layer check found:\n  ${_got}\nwhere exactly the three wrong includes were written")
  endif()
  message(STATUS "layer check: the three wrong includes of the scratch tree are found")
  return()
endif()

if(NOT DEFINED ROOT OR NOT IS_DIRECTORY ${ROOT}/engine)
  message(FATAL_ERROR "ROOT must name the source tree (with engine/): '${ROOT}'")
endif()
check_layers(${ROOT} _found)
if(_found)
  list(JOIN _found "\n  " _text)
  message(FATAL_ERROR "includes against the layers' direction:\n  ${_text}")
endif()
message(STATUS "layer check: no include against the layers' direction in ${ROOT}")
