# Writes the third-party notices of Quillora's programs, and fails when a
# program links a library that the one list (third_party.cmake) does not
# name. Run by the build once the programs are linked (packaging/CMakeLists.txt):
#
#   cmake -DLIST=third_party.cmake -DPLATFORM=WIN32|UNIX -DPROGRAMS=quillora,quillora-cli
#         -DBINARY_DIR=<build folder> -DGENERATOR=<CMake generator> -DOUTPUT=<notices file>
#         [-DTITLE=<first line>] [-DLINKED=<file>,<file>,...]
#         [-DDOC_DIR=/usr/share/doc] [-DLICENSES_DIR=/usr/share/common-licenses] -P notices.cmake
#
# The libraries a program links are CMake's own: the LINK_LIBRARIES of its
# link statement in build.ninja, or its link.txt with Makefiles. LINKED
# gives them instead (the check's test). Libraries built in BINARY_DIR are
# Quillora's own; every other one must be claimed by a row's LINKED pattern
# or by the system patterns, or the run fails naming it. The notices list the
# rows that are linked, and those the compiler links implicitly on PLATFORM;
# on Windows with CR LF line ends.
cmake_minimum_required(VERSION 3.25)

foreach(required LIST PLATFORM OUTPUT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "notices.cmake: -D${required}= is missing")
  endif()
endforeach()
if(NOT DEFINED DOC_DIR)
  set(DOC_DIR /usr/share/doc)
endif()
if(NOT DEFINED LICENSES_DIR)
  set(LICENSES_DIR /usr/share/common-licenses)
endif()

# --- The list ------------------------------------------------------------------

set(rows "")
set(system_patterns "")
function(quillora_third_party name)
  cmake_parse_arguments(R "" "VERSION;LICENSE" "SOURCE;RECORD;TEXTS;COPYRIGHT;LINKED;IMPLICIT;STATIC;NOTE" ${ARGN})
  if(NOT R_VERSION OR NOT R_LICENSE OR NOT R_SOURCE OR NOT R_RECORD OR NOT (R_LINKED OR R_IMPLICIT))
    message(FATAL_ERROR "${LIST}: the row of ${name} needs VERSION, LICENSE, SOURCE, RECORD and LINKED or IMPLICIT")
  endif()
  list(LENGTH rows id)
  set(rows ${rows} ${id} PARENT_SCOPE)
  set(row_${id}_NAME "${name}" PARENT_SCOPE)
  foreach(field VERSION LICENSE SOURCE RECORD TEXTS COPYRIGHT LINKED IMPLICIT STATIC NOTE)
    set(row_${id}_${field} "${R_${field}}" PARENT_SCOPE)
  endforeach()
endfunction()
function(quillora_system_libraries platform)
  if(platform STREQUAL PLATFORM)
    string(JOIN "|" joined ${ARGN})
    set(system_patterns "${joined}" PARENT_SCOPE)
  endif()
endfunction()
include(${LIST})

# --- What the programs link ------------------------------------------------------

# The link line's words: Ninja's escapes ("$ ", "$:", "$$") undone, quotes dropped.
function(link_words line out)
  string(REPLACE "$$" "<quillora-dollar>" line "${line}")
  string(REPLACE "$ " "<quillora-blank>" line "${line}")
  string(REPLACE "$:" ":" line "${line}")
  string(REGEX REPLACE "[ \t\r\n]+" ";" words "${line}")
  list(TRANSFORM words REPLACE "<quillora-dollar>" "$")
  list(TRANSFORM words REPLACE "<quillora-blank>" " ")
  list(TRANSFORM words REPLACE "^\"(.*)\"$" "\\1")
  list(FILTER words EXCLUDE REGEX "^$")
  set(${out} "${words}" PARENT_SCOPE)
endfunction()

# The libraries CMake links PROGRAM with, as the generator wrote them down.
function(linked_libraries program out)
  if(GENERATOR MATCHES "Ninja")
    file(READ ${BINARY_DIR}/build.ninja ninja)
    string(REGEX MATCH "\nbuild [^\n]*: CXX_EXECUTABLE_LINKER__${program}_[^\n]*\n(  [^\n]*\n)*" block "${ninja}")
    string(REGEX MATCH "\n  LINK_LIBRARIES = ([^\n]*)" found "${block}")
    if(NOT block)
      message(FATAL_ERROR "notices.cmake: build.ninja has no link statement for ${program}")
    endif()
    link_words("${CMAKE_MATCH_1}" words)
  elseif(GENERATOR MATCHES "Makefiles")
    file(GLOB_RECURSE link_files ${BINARY_DIR}/*/CMakeFiles/${program}.dir/link.txt)
    if(NOT link_files)
      message(FATAL_ERROR "notices.cmake: no link.txt for ${program} in ${BINARY_DIR}")
    endif()
    list(GET link_files 0 link_file)
    file(READ ${link_file} line)
    link_words("${line}" words)
  else()
    message(FATAL_ERROR "notices.cmake reads the link lines of Ninja and Makefile builds, not of ${GENERATOR}")
  endif()
  set(${out} "${words}" PARENT_SCOPE)
endfunction()

# The name a link line's word gives a library outside the build ("" for a
# flag, an object file or one of Quillora's own libraries).
function(library_name word out)
  set(name "")
  string(FIND "${word}" "${BINARY_DIR}/" in_build)
  if(word MATCHES "^-l(.+)$")
    set(name "${CMAKE_MATCH_1}")
  elseif(word MATCHES "^-" OR word MATCHES "[.](o|obj)$" OR NOT IS_ABSOLUTE "${word}" OR
         (BINARY_DIR AND in_build EQUAL 0))
    # A flag, an object file, or a library built here: Quillora's own.
  else()
    get_filename_component(name "${word}" NAME)
    string(REGEX REPLACE "^lib" "" name "${name}")
    string(REGEX REPLACE "([.](so|a|dll|lib)([.][0-9]+)*)+$" "" name "${name}")
  endif()
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

if(DEFINED LINKED)
  set(programs the-program)
  string(REPLACE "," ";" words_of_the-program "${LINKED}")
else()
  string(REPLACE "," ";" programs "${PROGRAMS}")
  foreach(program IN LISTS programs)
    linked_libraries(${program} words_of_${program})
  endforeach()
endif()

set(linked_rows "")
set(unclaimed "")
foreach(program IN LISTS programs)
  foreach(word IN LISTS words_of_${program})
    library_name("${word}" name)
    if(name STREQUAL "")
      continue()
    endif()
    set(claimed FALSE)
    foreach(id IN LISTS rows)
      foreach(pattern IN LISTS row_${id}_LINKED)
        if(name MATCHES "^(${pattern})$")
          list(APPEND linked_rows ${id})
          set(claimed TRUE)
          break()
        endif()
      endforeach()
      if(claimed)
        break()
      endif()
    endforeach()
    if(NOT claimed AND NOT (system_patterns AND name MATCHES "^(${system_patterns})$"))
      list(APPEND unclaimed "${program} links ${word}")
    endif()
  endforeach()
endforeach()
if(unclaimed)
  list(REMOVE_DUPLICATES unclaimed)
  list(JOIN unclaimed "\n  " said)
  message(FATAL_ERROR "No third-party notice for what the programs link:\n  ${said}\n"
    "Give each library a row in ${LIST} (its version, licence and Debian source), "
    "or, if the system provides it, a system pattern there.")
endif()

# --- The notices -----------------------------------------------------------------

set(included "")
foreach(id IN LISTS rows)
  if(id IN_LIST linked_rows OR PLATFORM IN_LIST row_${id}_IMPLICIT)
    list(APPEND included ${id})
  endif()
endforeach()

set(rule "================================================================================")
if(NOT DEFINED TITLE)
  set(TITLE "Third-party notices")
endif()
string(CONCAT text "${TITLE}\n\n"
  "Quillora's programs use the libraries below. Each is named with its version,\n"
  "the licence Quillora uses it under, and the Debian source package its copy\n"
  "comes from (https://packages.debian.org/source/bookworm/NAME has its source).\n"
  "Their copyright notices follow, each with Debian's record of its copyright and\n"
  "licences, and after them the full texts of the licences.\n\n")
set(texts "")
foreach(id IN LISTS included)
  list(GET row_${id}_SOURCE 0 source_name)
  list(GET row_${id}_SOURCE 1 source_version)
  string(APPEND text "  ${row_${id}_NAME} ${row_${id}_VERSION}\n"
    "    licence: ${row_${id}_LICENSE}\n    Debian source: ${source_name} ${source_version}\n")
  list(APPEND texts ${row_${id}_TEXTS})
endforeach()
list(REMOVE_DUPLICATES texts)

foreach(id IN LISTS included)
  list(GET row_${id}_SOURCE 0 source_name)
  list(GET row_${id}_SOURCE 1 source_version)
  if(PLATFORM IN_LIST row_${id}_STATIC)
    set(how "linked into the programs")
  else()
    set(how "a shared library of the system's, loaded by the programs")
  endif()
  list(JOIN row_${id}_COPYRIGHT "\n" copyright)
  list(JOIN row_${id}_NOTE "\n" note)
  string(APPEND text "\n${rule}\n${row_${id}_NAME} ${row_${id}_VERSION}: ${row_${id}_LICENSE}; ${how}\n${rule}\n\n"
    "${copyright}\n\n")
  if(note)
    string(APPEND text "${note}\n\n")
  endif()
  # Debian's record of the source's copyright, as its first installed package has it.
  set(record "")
  foreach(package IN LISTS row_${id}_RECORD)
    if(EXISTS ${DOC_DIR}/${package}/copyright)
      set(record ${package})
      break()
    endif()
  endforeach()
  if(NOT record)
    list(JOIN row_${id}_RECORD " or " packages)
    message(FATAL_ERROR "The notice of ${row_${id}_NAME} copies Debian's record of its copyright: "
      "install ${packages} (${DOC_DIR}/PACKAGE/copyright)")
  endif()
  find_program(DPKG_QUERY dpkg-query)
  if(DPKG_QUERY)
    execute_process(COMMAND ${DPKG_QUERY} -W "-f=\${source:Package} \${source:Version}" ${record}
                    OUTPUT_VARIABLE installed ERROR_QUIET)
    if(installed AND NOT installed STREQUAL "${source_name} ${source_version}")
      message(WARNING "${LIST}: ${row_${id}_NAME} is listed from ${source_name} ${source_version}, "
        "but ${record} comes from ${installed}: bring the row up to date")
    endif()
  endif()
  file(READ ${DOC_DIR}/${record}/copyright record_text)
  string(APPEND text "Debian's record of the copyright and licences of ${source_name} ${source_version}:\n\n"
    "${record_text}")
endforeach()

foreach(name IN LISTS texts)
  if(NOT EXISTS ${LICENSES_DIR}/${name})
    message(FATAL_ERROR "${LIST} names the licence ${name}, which ${LICENSES_DIR} does not hold")
  endif()
  file(READ ${LICENSES_DIR}/${name} licence)
  string(APPEND text "\n${rule}\nThe licence ${name}\n${rule}\n\n${licence}")
endforeach()

if(PLATFORM STREQUAL "WIN32")  # CR LF, for Notepad
  string(REPLACE "\n" "\r\n" text "${text}")
endif()
file(WRITE ${OUTPUT}.tmp "${text}")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
