# The layers' direction. Each folder of the tree may include headers from the
# folders below it only:
#
#   engine   the on-disk format: nothing else
#   sql      SQL text (statements, names, type names): engine
#   ui       the interfaces the windows implement: nothing else
#   browser  what the window shows: engine, sql, ui
#   export   the save: engine, sql, ui
#   cli      the command line: engine, sql, ui, browser, export
#   widgets  window dressing: ui
#   shell    the windows: every folder but cli
#
# and Qt headers only in shell/ and widgets/.
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
set(LAYER_FOLDERS engine sql ui browser export cli widgets shell)
set(ALLOWED_engine)
set(ALLOWED_sql engine)
set(ALLOWED_ui)
set(ALLOWED_browser engine sql ui)
set(ALLOWED_export engine sql ui)
set(ALLOWED_cli engine sql ui browser export)
set(ALLOWED_widgets ui)
set(ALLOWED_shell engine sql ui browser export widgets)
set(QT_FOLDERS shell widgets)

# Appends to OUT_VAR one "file:line: text" entry per include in FOLDER (under
# ROOT_DIR) that PATTERN matches.
function(find_includes ROOT_DIR FOLDER PATTERN OUT_VAR)
  file(GLOB_RECURSE _files LIST_DIRECTORIES false
       ${ROOT_DIR}/${FOLDER}/*.h ${ROOT_DIR}/${FOLDER}/*.hpp
       ${ROOT_DIR}/${FOLDER}/*.cpp ${ROOT_DIR}/${FOLDER}/*.cc ${ROOT_DIR}/${FOLDER}/*.inl)
  set(_found ${${OUT_VAR}})
  foreach(_file IN LISTS _files)
    file(STRINGS ${_file} _lines)
    set(_number 0)
    foreach(_line IN LISTS _lines)
      math(EXPR _number "${_number} + 1")
      if(_line MATCHES "${PATTERN}")
        file(RELATIVE_PATH _relative ${ROOT_DIR} ${_file})
        string(STRIP "${_line}" _text)
        list(APPEND _found "${_relative}:${_number}: ${_text}")
      endif()
    endforeach()
  endforeach()
  set(${OUT_VAR} ${_found} PARENT_SCOPE)
endfunction()

# Every include against the layers: of a folder the table above does not
# allow (both spellings, "x/..." and <x/...>, and with leading ../ steps), and
# of a Qt header (<QWidget>, <QtCore/...>) outside the Qt folders.
function(check_layers ROOT_DIR OUT_VAR)
  set(_found)
  foreach(_folder IN LISTS LAYER_FOLDERS)
    set(_forbidden ${LAYER_FOLDERS})
    list(REMOVE_ITEM _forbidden ${_folder} ${ALLOWED_${_folder}})
    if(_forbidden)
      list(JOIN _forbidden "|" _alternatives)
      find_includes(${ROOT_DIR} ${_folder}
                    "^[ \t]*#[ \t]*include[ \t]*[\"<](\\.\\./)*(${_alternatives})/" _found)
    endif()
    if(NOT _folder IN_LIST QT_FOLDERS)
      find_includes(${ROOT_DIR} ${_folder} "^[ \t]*#[ \t]*include[ \t]*<Q[A-Za-z]*[>/]" _found)
    endif()
  endforeach()
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
  file(WRITE ${_tree}/export/Good.cpp "#include \"engine/Good.h\"\n#include \"sql/Statements.h\"\n")
  file(WRITE ${_tree}/browser/Free.cpp "#include \"ui/Prompts.h\"\n#include <QString>\n")
  file(WRITE ${_tree}/sql/Bad.cpp "#include \"engine/Good.h\"\n#include \"browser/Tree.h\"\n")
  file(WRITE ${_tree}/cli/Bad.cpp "#include \"export/Good.h\"\n#include \"shell/X.h\"\n")
  file(WRITE ${_tree}/shell/Good.cpp "#include <QtCore/QString>\n#include \"export/Good.h\"\n")
  check_layers(${_tree} _found)
  set(_expected
      "browser/Free.cpp:2: #include <QString>"
      "cli/Bad.cpp:2: #include \"shell/X.h\""
      "engine/Bad.cpp:2: #include \"ui/Prompts.h\""
      "engine/sub/Deep.h:2: #  include <shell/JobThread.h>"
      "export/Bad.h:2: #include \"../browser/ObjectTree.h\""
      "sql/Bad.cpp:2: #include \"browser/Tree.h\"")
  list(SORT _found)
  if(NOT _found STREQUAL _expected)
    list(JOIN _found "\n  " _got)
    message(FATAL_ERROR "the layer check found:\n  ${_got}\nwhere exactly the six wrong includes were written")
  endif()
  message(STATUS "layer check: the six wrong includes of the scratch tree are found")
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
