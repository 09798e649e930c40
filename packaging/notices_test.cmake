# The notices' check: a library the list does not name fails the build, a
# row is listed only when its library is linked (or the compiler links it
# implicitly), and Quillora's own libraries, flags and the system's need no
# row. Debian's records come from a folder of stand-ins, so the test needs no
# MinGW packages installed. And the copyright file names the Debian source
# and version of each library the Windows build links statically, as the
# list does, so the two cannot drift apart.
#   cmake -DNOTICES=notices.cmake -DLIST=third_party.cmake -DCOPYRIGHT=copyright -DWORK=<folder>
#         -P notices_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
foreach(package libqt6core6 libqt6svg6 libgcrypt20 libgpg-error0 mingw-w64-x86-64-dev gcc-mingw-w64-base)
  file(WRITE ${WORK}/doc/${package}/copyright "record of ${package}\n")
endforeach()

# platform | linked, comma-separated | must be listed | must not be listed ("-": none)
set(cases
  "UNIX|app/libquillora_window.a,-Wl,--as-needed,/usr/lib/libQt6Core.so.6.4.2,/usr/lib/libGLX.so|Qt 6.4.2|Libgcrypt"
  "UNIX|/usr/lib/libQt6Svg.so.6,/usr/lib/libgcrypt.so.20|Libgcrypt 1.10.1|MinGW"
  "WIN32|-lkernel32,-lws2_32,/q/lib/libQt6Core.a,/q/plugins/platforms/libqwindows.a|MinGW-w64 runtime|Libgcrypt"
  "WIN32|/m/lib/libgcrypt.a,/m/lib/libgpg-error.a,-luser32|Libgpg-error 1.46|Qt 6"
  "UNIX|/usr/lib/libQt6Core.so.6,/usr/lib/x86_64-linux-gnu/libfoo.so.1|FAILS libfoo.so.1|-"
  "WIN32|-lkernel32,-lnewlib|FAILS -lnewlib|-")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 platform)
  list(GET fields 1 linked)
  list(GET fields 2 listed)
  list(GET fields 3 unlisted)
  execute_process(COMMAND ${CMAKE_COMMAND} -DLIST=${LIST} -DPLATFORM=${platform} -DLINKED=${linked}
                          -DDOC_DIR=${WORK}/doc -DOUTPUT=${WORK}/notices.txt -P ${NOTICES}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  file(REMOVE ${WORK}/notices.txt.tmp)
  if(listed MATCHES "^FAILS (.*)")
    string(FIND "${err}" "${CMAKE_MATCH_1}" named)
    if(status EQUAL 0 OR named EQUAL -1)
      message(SEND_ERROR "${case}: the build should fail, naming ${CMAKE_MATCH_1}; it said: ${err}")
    endif()
    continue()
  endif()
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${case}: failed: ${err}")
    continue()
  endif()
  file(READ ${WORK}/notices.txt text)
  string(FIND "${text}" "${listed}" found_listed)
  string(FIND "${text}" "${unlisted}" found_unlisted)
  if(found_listed EQUAL -1 OR NOT found_unlisted EQUAL -1)
    message(SEND_ERROR "${case}: the notices should list \"${listed}\" and not \"${unlisted}\"")
  endif()
  file(READ ${WORK}/notices.txt hex HEX)  # a plain read drops the CRs
  string(FIND "${hex}" "0d0a" crlf)
  if(crlf EQUAL -1)
    set(ends UNIX)
  else()
    set(ends WIN32)
  endif()
  if(NOT ends STREQUAL platform)
    message(SEND_ERROR "${case}: CR LF line ends on Windows only")
  endif()
endforeach()

function(quillora_third_party name)
  cmake_parse_arguments(R "" "VERSION;LICENSE" "SOURCE;RECORD;TEXTS;COPYRIGHT;LINKED;IMPLICIT;STATIC;NOTE" ${ARGN})
  list(JOIN R_SOURCE " " source)
  file(READ ${COPYRIGHT} copyright)
  string(FIND "${copyright}" "${source}" found)
  if("WIN32" IN_LIST R_STATIC AND found EQUAL -1)
    message(SEND_ERROR "${COPYRIGHT} does not name ${source}, which the Windows build links statically (${name})")
  endif()
endfunction()
function(quillora_system_libraries)
endfunction()
include(${LIST})
