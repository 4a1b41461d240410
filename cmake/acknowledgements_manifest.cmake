# cmake -DLIBRARIES=<list file> -DOUTPUT=<dir> -DOWN=<title>=<file>|... -P this
# Writes into OUTPUT/files the licence notices of the libraries named in LIBRARIES (one path a
# line) and of everything they load (ldd): each library's Debian package (dpkg -S), the package's
# copyright file (its documentation folder may be a link to a sibling package's) and each common
# licence text a copyright file refers to, once; then OWN's files. OUTPUT/files/manifest indexes
# them as "title<TAB>file" lines in a stable order: packages by name, our own files, then the
# common licences by name. OUTPUT/acknowledgements.qrc lists them for rcc. A library without a
# package or copyright file is named in a warning.
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${LIBRARIES}" libraries)
list(FILTER libraries EXCLUDE REGEX "^$")

# What the libraries load, as the dynamic loader resolves it here.
set(loaded ${libraries})
if(libraries)
  execute_process(COMMAND ldd ${libraries} OUTPUT_VARIABLE ldd_out ERROR_QUIET)
  string(REGEX MATCHALL "(=> |\t)/[^ \n]+ \\(" paths "${ldd_out}")
  foreach(match IN LISTS paths)
    string(REGEX REPLACE "^(=> |\t)" "" match "${match}")
    string(REGEX REPLACE " \\($" "" match "${match}")
    list(APPEND loaded "${match}")
  endforeach()
  string(REGEX MATCHALL "[^\n]*not found" missing "${ldd_out}")
  foreach(line IN LISTS missing)
    message(WARNING "Acknowledgements: ldd cannot resolve ${line}")
  endforeach()
endif()
list(REMOVE_DUPLICATES loaded)
list(SORT loaded)

# Every spelling dpkg may know a file by: the file its link leads to first (a development link
# such as libfoo.so belongs to the -dev package), then the path given, each with and without the
# merged /usr.
function(spellings_of library out)
  file(REAL_PATH "${library}" real)
  set(result)
  foreach(path IN ITEMS "${real}" "${library}")
    list(APPEND result "${path}")
    if(path MATCHES "^/usr(/lib.*)$")
      list(APPEND result "${CMAKE_MATCH_1}")
    elseif(path MATCHES "^/lib")
      list(APPEND result "/usr${path}")
    endif()
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

set(candidates)
foreach(library IN LISTS loaded)
  spellings_of("${library}" spellings)
  list(APPEND candidates ${spellings})
endforeach()
list(REMOVE_DUPLICATES candidates)
set(owners "")
if(candidates)
  # One query for all: dpkg reads its database once.
  execute_process(COMMAND dpkg -S ${candidates} OUTPUT_VARIABLE owners ERROR_QUIET)
endif()
string(REPLACE ";" "," owners "${owners}")
string(REPLACE "\n" ";" owner_lines "${owners}")

function(package_of path out)
  foreach(line IN LISTS owner_lines)
    # "libfoo1:amd64: /usr/lib/x86_64-linux-gnu/libfoo.so.1"; diversions are other lines.
    if(NOT line MATCHES "^diversion " AND line MATCHES "^([^:, ]+)[^/]*: (/.*)$"
       AND CMAKE_MATCH_2 STREQUAL path)
      set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

set(packages)
foreach(library IN LISTS loaded)
  spellings_of("${library}" spellings)
  set(package "")
  foreach(spelling IN LISTS spellings)
    if(NOT package)
      package_of("${spelling}" package)
    endif()
  endforeach()
  if(package)
    list(APPEND packages "${package}")
  else()
    message(WARNING "Acknowledgements: no Debian package ships ${library}; its notice is missing")
  endif()
endforeach()
list(REMOVE_DUPLICATES packages)
list(SORT packages)

file(REMOVE_RECURSE "${OUTPUT}/files")
file(MAKE_DIRECTORY "${OUTPUT}/files")

# Packages whose documentation folders lead to one copyright file share one entry.
set(copyrights)
foreach(package IN LISTS packages)
  set(folder "/usr/share/doc/${package}")
  file(REAL_PATH "${folder}" real_folder)
  if(NOT EXISTS "${real_folder}/copyright")
    message(WARNING "Acknowledgements: package ${package} has no copyright file in ${folder}")
    continue()
  endif()
  string(MAKE_C_IDENTIFIER "${real_folder}" key)
  if(NOT DEFINED titles_${key})
    list(APPEND copyrights "${key}")
    set(source_${key} "${real_folder}/copyright")
    set(titles_${key} "${package}")
  else()
    set(titles_${key} "${titles_${key}}, ${package}")
  endif()
endforeach()

set(manifest "")
set(qrc_files "")
set(common)
set(index 0)
macro(add_entry title source)
  math(EXPR index "${index} + 1")
  get_filename_component(name "${title}" NAME)
  string(REGEX REPLACE "[^A-Za-z0-9.+_-]" "_" name "${name}")
  set(file_name "${index}-${name}")
  string(SUBSTRING "${file_name}" 0 80 file_name)
  file(COPY_FILE "${source}" "${OUTPUT}/files/${file_name}")
  string(APPEND manifest "${title}\t${file_name}\n")
  string(APPEND qrc_files "    <file alias=\"${file_name}\">files/${file_name}</file>\n")
endmacro()

foreach(key IN LISTS copyrights)
  add_entry("${titles_${key}}" "${source_${key}}")
  file(READ "${source_${key}}" text)
  string(REGEX MATCHALL "/usr/share/common-licenses/[A-Za-z0-9][A-Za-z0-9.+_-]*" refs "${text}")
  foreach(ref IN LISTS refs)
    string(REGEX REPLACE "[.]+$" "" ref "${ref}")
    if(EXISTS "${ref}")
      list(APPEND common "${ref}")
    endif()
  endforeach()
endforeach()

string(REPLACE "|" ";" own "${OWN}")
foreach(entry IN LISTS own)
  string(REGEX MATCH "^[^=]*" title "${entry}")
  string(REGEX REPLACE "^[^=]*=" "" path "${entry}")
  add_entry("${title}" "${path}")
endforeach()

list(REMOVE_DUPLICATES common)
list(SORT common)
foreach(ref IN LISTS common)
  add_entry("${ref}" "${ref}")
endforeach()

file(WRITE "${OUTPUT}/files/manifest" "${manifest}")
file(WRITE "${OUTPUT}/acknowledgements.qrc"
     "<RCC>\n  <qresource prefix=\"/acknowledgements\">\n"
     "    <file alias=\"manifest\">files/manifest</file>\n${qrc_files}  </qresource>\n</RCC>\n")
