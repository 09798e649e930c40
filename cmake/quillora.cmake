# The two helpers every folder's CMakeLists.txt uses: one library per layer,
# one test program per unit. The product build includes this file, and so
# does the fuzz build (fuzz/), which builds the same layer libraries again
# with its sanitizers.
#
# Before including it, a project sets QUILLORA_SOURCE_ROOT (the checkout's
# top folder, the root of every #include "layer/unit.h").

# Sanitizer copies of the layers: for each name in QUILLORA_VARIANTS, every
# layer library NAME also exists as NAME_<variant>, compiled and linked with
# QUILLORA_<variant>_FLAGS and standing on the same variant of its layers.
# The product build makes a "tsan" variant for its ThreadSanitizer test.
set(QUILLORA_VARIANTS "")

# quillora_add_library(NAME SOURCES... [LINKS ...]): the library of one
# layer. LINKS are the layers it stands on (and outside libraries); it links
# them publicly, so whoever links it gets them too. The build does not hide
# headers: every layer's include path is the checkout's top folder, so any
# header is reachable. Which ones a layer may include is the include rule's
# to say (scripts/include-rule, run by ctest as include_rule).
function(quillora_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${QUILLORA_SOURCE_ROOT})
  target_link_libraries(${name} PUBLIC ${L_LINKS})
  foreach(variant IN LISTS QUILLORA_VARIANTS)
    set(links "")
    foreach(link IN LISTS L_LINKS)
      if(TARGET ${link}_${variant})
        list(APPEND links ${link}_${variant})
      else()
        list(APPEND links ${link})
      endif()
    endforeach()
    add_library(${name}_${variant} STATIC EXCLUDE_FROM_ALL ${L_SOURCES})
    target_include_directories(${name}_${variant} PUBLIC ${QUILLORA_SOURCE_ROOT})
    target_compile_options(${name}_${variant} PUBLIC ${QUILLORA_${variant}_FLAGS})
    target_link_options(${name}_${variant} PUBLIC ${QUILLORA_${variant}_FLAGS})
    target_link_libraries(${name}_${variant} PUBLIC ${links})
  endforeach()
endfunction()

# quillora_add_test(NAME SOURCES... [LIBS ...] [OWN_MAIN] [JOBS] [LABEL L]): one
# test executable of a unit.
# LIBS: the layers under test. OWN_MAIN: the sources bring their own main.
# LABEL: a ctest label for its tests, to run them alone (ctest -L L).
# JOBS: run every test with digests at each file's turn (--jobs=1) and
# computed ahead by three threads (--jobs=3) on each digest engine (skipped
# where the CPU lacks it); the results must not differ.
# A test that needs what only POSIX has (FIFOs, links, file modes, an
# unprivileged user) skips itself on Windows with its reason
# (testing/posix_only.h).
function(quillora_add_test name)
  if(NOT QUILLORA_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "OWN_MAIN;JOBS" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} quillora_testing)
  if(NOT T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE quillora_test_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Tests write nothing into the real home folder: each test program gets
  # one of its own. (One value per property: a ";" would not survive
  # gtest's discovery script.)
  set(home ${QUILLORA_TEST_HOMES}/${name})
  # Window tests draw offscreen; on Windows (under Wine, on a virtual X
  # display) on the real platform, the one a static Qt links in.
  set(platform offscreen)
  if(WIN32)
    set(platform windows)
  endif()
  set(environment ENVIRONMENT QT_QPA_PLATFORM=${platform} ENVIRONMENT_MODIFICATION HOME=set:${home})
  if(T_LABEL)
    list(APPEND environment LABELS ${T_LABEL})
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})  # run through the emulator (Wine)
    set_tests_properties(${name} PROPERTIES ${environment})
    if(T_JOBS)
      add_test(NAME ${name}.jobs3 COMMAND ${name} --jobs=3)
      set_tests_properties(${name}.jobs3 PROPERTIES ${environment})
    endif()
  elseif(T_JOBS)
    gtest_discover_tests(${name} EXTRA_ARGS --jobs=1 TEST_PREFIX "jobs1." DISCOVERY_TIMEOUT 60
                         PROPERTIES ${environment})
    foreach(engine scalar avx2 avx512)
      gtest_discover_tests(${name} EXTRA_ARGS --jobs=3 --engine=${engine} TEST_PREFIX "jobs3.${engine}."
                           DISCOVERY_TIMEOUT 60 PROPERTIES ${environment} SKIP_RETURN_CODE 77)
    endforeach()
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${environment})
  endif()
endfunction()
