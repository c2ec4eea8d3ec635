# Checks every #include "layer/..." in the core's folders against the layers
# each folder may use, headers included (a header that only a higher layer
# compiles would otherwise slip through).  Run with -DROOT=<source folder>
# -DLAYERS=<layers> and -DALLOWED_<layer>=<layers it may include>, each a
# comma-separated list.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" LAYERS "${LAYERS}")
set(failures "")
foreach(layer IN LISTS LAYERS)
  string(REPLACE "," ";" allowed "${ALLOWED_${layer}}")
  file(GLOB files ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.inc)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([a-z]+)/.*" "\\1" target "${line}")
      if(NOT target STREQUAL layer AND NOT target IN_LIST allowed)
        list(APPEND failures "${file}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "includes against the layering:\n${text}")
endif()
