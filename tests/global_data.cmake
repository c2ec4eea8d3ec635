# Lists the writable global and static data of the core libraries and fails
# when any of the project's own appears: the core keeps its state in objects
# (render contexts, documents, interpreter trees), never in mutable globals.
# Run with -DOBJDUMP=<objdump> -DLIBS=<libraries, comma-separated>.  Read-only
# tables (.rodata, .data.rel.ro) and the toolchain's own symbols (guard
# variables, type information, sanitizer bookkeeping) do not count.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" LIBS "${LIBS}")
set(found "")
foreach(lib IN LISTS LIBS)
  execute_process(COMMAND ${OBJDUMP} -t -C ${lib} OUTPUT_VARIABLE table RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${lib}")
  endif()
  string(REPLACE "\n" ";" lines "${table}")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "[ \t](\\.data|\\.bss|\\.tdata|\\.tbss)(\\.[^ \t]*)?[ \t]")
      continue()
    endif()
    if(line MATCHES "\\.data\\.rel\\.ro")
      continue()
    endif()
    if(NOT line MATCHES "velmora::" OR line MATCHES "guard variable|typeinfo|vtable|__odr_asan")
      continue()
    endif()
    get_filename_component(name ${lib} NAME)
    list(APPEND found "${name}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" text)
  message(FATAL_ERROR "writable global or static data in the core:\n${text}")
endif()
