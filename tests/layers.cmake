# Which folder may include which (the README draws it): a layer includes only what lies
# below it, the simulation itself only the core and no GL, the world reads no key table
# (input reaches it as data from the shell), and no tool imports a test.
# Run as: cmake -DROOT=<source folder> -P layers.cmake
cmake_policy(VERSION 3.20)
set(above_core "view/|assets/|physics/|terrain/|scene/|gui/|app/")
# folder glob | includes it must not make
set(rules
  "core/*|${above_core}"
  "view/*|assets/|physics/|terrain/|scene/|gui/|app/"
  "assets/*|physics/|terrain/|scene/|gui/|app/"
  "physics/*|terrain/|scene/|gui/|app/|core/input.h"
  "terrain/*|physics/|scene/|gui/|app/|core/input.h"
  "scene/*|gui/|app/|core/input.h"
  "gui/*|app/"
)
set(faults "")
foreach(rule ${rules})
  string(REPLACE "|" ";" parts "${rule}")
  list(POP_FRONT parts pattern)
  file(GLOB files RELATIVE ${ROOT} ${ROOT}/${pattern}.h ${ROOT}/${pattern}.cpp)
  foreach(f ${files})
    file(STRINGS ${ROOT}/${f} lines REGEX "^#include \"")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" inc "${line}")
      set(bad FALSE)
      foreach(p ${parts})
        if(inc MATCHES "^${p}")
          set(bad TRUE)
        endif()
      endforeach()
      # The simulation's own files (not its drawing) reach below only for the core and
      # the mesh records: not the GL extension probe, not a view.
      if(f MATCHES "^physics/" AND NOT f MATCHES "_draw\\.cpp$"
         AND (inc MATCHES "^view/" OR inc STREQUAL "core/glext.h"))
        set(bad TRUE)
      endif()
      if(bad)
        list(APPEND faults "${f} includes ${inc}")
      endif()
    endforeach()
  endforeach()
endforeach()
# No GL in the simulation, not even through a header it includes: a body's texture and
# a material's are held through a forward-declared Texture and made in the drawing.
# Follows the quoted includes from each of physics/'s own files (not its drawing) and
# from the model reader's header, which the bodies include.
file(GLOB sim RELATIVE ${ROOT} ${ROOT}/physics/*.h ${ROOT}/physics/*.cpp)
list(FILTER sim EXCLUDE REGEX "_draw\\.cpp$")
list(APPEND sim assets/objfile.h)
foreach(start ${sim})
  set(seen "")
  set(todo ${start})
  while(todo)
    list(POP_FRONT todo f)
    if(f IN_LIST seen OR NOT EXISTS ${ROOT}/${f})
      continue()
    endif()
    list(APPEND seen ${f})
    set(via "")
    if(NOT f STREQUAL start)
      set(via " (through ${f})")
    endif()
    if(f STREQUAL "assets/texture.h")
      list(APPEND faults "${start} reaches assets/texture.h")
    endif()
    file(STRINGS ${ROOT}/${f} gl REGEX "^#include <GL/")
    foreach(line ${gl})
      string(REGEX REPLACE "^#include <([^>]+)>.*" "\\1" inc "${line}")
      list(APPEND faults "${start} includes <${inc}>${via}")
    endforeach()
    file(STRINGS ${ROOT}/${f} lines REGEX "^#include \"")
    foreach(line ${lines})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" inc "${line}")
      list(APPEND todo ${inc})
    endforeach()
  endwhile()
endforeach()
file(GLOB scripts RELATIVE ${ROOT} ${ROOT}/tools/*.py)
foreach(f ${scripts})
  file(STRINGS ${ROOT}/${f} lines REGEX "sys\\.path.*tests|^(import|from) (e2ebase|test_)")
  if(lines)
    list(APPEND faults "${f} uses the tests: ${lines}")
  endif()
endforeach()
if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "layering broken:\n  ${text}")
endif()
message(STATUS "layering holds")
