# quillory_acknowledgements(<target> FILES <title>=<file> ...): compiles into <target> the licence
# notices of every shared library it links, directly or through another, as the Debian packages
# that ship them state them, plus the named files of our own (fonts, icons). The libraries come
# from the link closure of <target> (it cannot come from the binary the notices are part of); a
# build step resolves them with ldd and dpkg and copies the texts (see
# cmake/acknowledgements_manifest.cmake). The target gets the resources under :/acknowledgements
# with an index "manifest" of tab-separated title and file lines, in a stable order.
set(QUILLORY_ACKNOWLEDGEMENTS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/acknowledgements_manifest.cmake)

function(quillory_acknowledgements target)
  cmake_parse_arguments(A "" "" "FILES" ${ARGN})
  # Run at the end of the calling directory, when the links of every target below it are known.
  cmake_language(EVAL CODE "
    cmake_language(DEFER CALL _quillory_acknowledgements_rule [[${target}]] [[${A_FILES}]])")
endfunction()

# The shared libraries `item` (a target, a path or a flag) brings in, appended to `out`.
function(_quillory_link_closure item visited_var out_var)
  set(visited ${${visited_var}})
  set(out ${${out_var}})
  if(item MATCHES "^\\$<LINK_ONLY:(.*)>$" OR item MATCHES "^\\$<BUILD_INTERFACE:(.*)>$")
    set(item "${CMAKE_MATCH_1}")
  endif()
  if(item MATCHES "^\\$<" OR item MATCHES "^-")
    # Other expressions only pick configurations or tools; flags name no library of their own.
    return()
  endif()
  if(TARGET "${item}")
    get_target_property(aliased "${item}" ALIASED_TARGET)
    if(aliased)
      set(item "${aliased}")
    endif()
    if("${item}" IN_LIST visited)
      return()
    endif()
    list(APPEND visited "${item}")
    get_target_property(type "${item}" TYPE)
    get_target_property(imported "${item}" IMPORTED)
    set(links)
    if(imported)
      set(locations)
      get_target_property(configurations "${item}" IMPORTED_CONFIGURATIONS)
      foreach(config IN LISTS configurations)
        list(APPEND locations IMPORTED_LOCATION_${config})
      endforeach()
      foreach(property IN LISTS locations ITEMS IMPORTED_LOCATION)
        get_target_property(location "${item}" ${property})
        if(location AND location MATCHES "\\.so(\\.|$)")
          list(APPEND out "${location}")
          break()
        endif()
      endforeach()
    elseif(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct "${item}" LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface "${item}" INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      _quillory_link_closure("${link}" visited out)
    endforeach()
  elseif(item MATCHES "^PkgConfig::(.+)$")
    # Imported in another directory, so not visible here; pkg-config's cache keeps its libraries.
    set(prefix "pkgcfg_lib_${CMAKE_MATCH_1}_")
    get_cmake_property(cached CACHE_VARIABLES)
    foreach(variable IN LISTS cached)
      string(FIND "${variable}" "${prefix}" at)
      if(at EQUAL 0 AND "${${variable}}" MATCHES "\\.so(\\.|$)")
        list(APPEND out "${${variable}}")
      endif()
    endforeach()
  elseif(IS_ABSOLUTE "${item}" AND item MATCHES "\\.so(\\.|$)")
    list(APPEND out "${item}")
  elseif(item MATCHES "::")
    message(WARNING "Acknowledgements: cannot see the libraries of ${item}")
  endif()
  set(${visited_var} ${visited} PARENT_SCOPE)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

function(_quillory_acknowledgements_rule target files)
  set(visited)
  set(libraries)
  _quillory_link_closure(${target} visited libraries)
  list(REMOVE_DUPLICATES libraries)
  list(SORT libraries)
  set(dir ${CMAKE_BINARY_DIR}/acknowledgements)
  set(list_file ${dir}/libraries.txt)
  string(REPLACE ";" "\n" content "${libraries}")
  # Written only when it changes, so that an unchanged configure rebuilds nothing.
  file(CONFIGURE OUTPUT ${list_file} CONTENT "${content}\n" @ONLY)

  set(own_files)
  foreach(entry IN LISTS files)
    string(REGEX REPLACE "^[^=]*=" "" path "${entry}")
    list(APPEND own_files ${path})
  endforeach()
  string(REPLACE ";" "|" own "${files}")
  set(dpkg_status)
  if(EXISTS /var/lib/dpkg/status)
    set(dpkg_status /var/lib/dpkg/status)
  endif()
  set(generated ${dir}/qrc_acknowledgements.cpp)
  add_custom_command(
    OUTPUT ${generated} ${dir}/files/manifest
    COMMAND ${CMAKE_COMMAND} -DLIBRARIES=${list_file} -DOUTPUT=${dir} "-DOWN=${own}"
            -P ${QUILLORY_ACKNOWLEDGEMENTS_SCRIPT}
    COMMAND Qt6::rcc --name acknowledgements --output ${generated} ${dir}/acknowledgements.qrc
    DEPENDS ${list_file} ${own_files} ${QUILLORY_ACKNOWLEDGEMENTS_SCRIPT} ${dpkg_status}
    COMMENT "Collecting the licence notices of the libraries ${target} links"
    VERBATIM)
  target_sources(${target} PRIVATE ${generated})
endfunction()
