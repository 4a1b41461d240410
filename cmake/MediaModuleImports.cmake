# cmake -DNM=nm -DMODULE=<module> -DOUTPUT=<prefix> -P MediaModuleImports.cmake
# Writes <prefix>.list, a dynamic list of the module's symbols of ours that it leaves undefined or
# defines weakly, and <prefix>.rsp, linker options requiring the undefined ones to be defined.
# Each file is rewritten only when it changes, so that quillory relinks only then.
execute_process(COMMAND ${NM} -D --format=posix ${MODULE}
  OUTPUT_VARIABLE table RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${MODULE}")
endif()
string(REPLACE "\n" ";" rows "${table}")
set(exported "")
set(required "")
foreach(row IN LISTS rows)
  # "<name> <type> [<value> <size>]"; ours are in namespace quillory.
  if(NOT row MATCHES "^([^ ]*8quillory[^ ]*) ([A-Za-z])")
    continue()
  endif()
  set(name ${CMAKE_MATCH_1})
  set(type ${CMAKE_MATCH_2})
  if(type STREQUAL "U")
    string(APPEND exported "  ${name};\n")
    string(APPEND required "-Wl,--require-defined=${name}\n")
  elseif(type MATCHES "^[WVu]$")
    string(APPEND exported "  ${name};\n")
  endif()
endforeach()
file(WRITE ${OUTPUT}.list.new "{\n${exported}};\n")
file(WRITE ${OUTPUT}.rsp.new "${required}")
foreach(suffix list rsp)
  file(COPY_FILE ${OUTPUT}.${suffix}.new ${OUTPUT}.${suffix} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUTPUT}.${suffix}.new)
endforeach()
