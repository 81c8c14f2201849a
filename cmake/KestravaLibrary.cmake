# kestrava_library(<name> [HOT] [DEPS <targets>...])
# One library per source folder: every .cpp of the folder (not of its sub-folders) goes in.
# A folder without sources yet gives an interface library, so dependents link it all the same.
# HOT: the per-sample code of the signal chain, built with -O3 in the optimised builds (the
# numeric flags stay: no contraction, no fast-math, no host-specific code).
function(kestrava_library name)
  cmake_parse_arguments(ARG "HOT" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/x86/*.cpp)
  # Only the x86/*_avx2.cpp kernels get the instruction set; never FMA (it changes the rounding).
  file(GLOB avx2_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/x86/*_avx2.cpp)
  set_source_files_properties(${avx2_sources} PROPERTIES COMPILE_OPTIONS -mavx2)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    if(ARG_HOT AND NOT KESTRAVA_SANITIZE AND NOT KESTRAVA_FUZZ)  # the checking builds stay at -O1
      target_compile_options(${name} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O3>)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# Every test has a time-out, so that a hang fails fast with its name instead of eating CI's budget.
# The longest case takes a few seconds in the plain build and several times that under the
# sanitizers on two loaded cores.
if(KESTRAVA_SANITIZE)
  set(KESTRAVA_TEST_TIMEOUT 300 CACHE STRING "Time-out of each test (seconds)")
else()
  set(KESTRAVA_TEST_TIMEOUT 120 CACHE STRING "Time-out of each test (seconds)")
endif()
# Under ThreadSanitizer only the test programs with thread cases are built: this target is what
# the "tsan" build preset builds.
if(KESTRAVA_SANITIZE STREQUAL "thread")
  add_custom_target(kestrava_thread_tests)
endif()

# kestrava_test(<name> LIBS <targets>... [SOURCES <files>...] [BOTH_CPUS] [THREADS <suite>...])
# One test program per test folder from its *_test.cpp files, registered with CTest.
# BOTH_CPUS registers every case twice: once as chosen by the processor, once with
# KESTRAVA_CPU=generic, so that both builds of the hot routines are checked (not under
# ThreadSanitizer, which looks for races, not arithmetic).
# THREADS names the suites (GoogleTest filter patterns, * for all) whose cases start threads:
# they get the CTest label "threads", and only they are built and run under ThreadSanitizer.
# The plain build fails any other case that starts a thread (tests/support/ThreadWatch.cpp).
function(kestrava_test name)
  cmake_parse_arguments(ARG "BOTH_CPUS" "" "LIBS;SOURCES;THREADS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  list(APPEND sources ${ARG_SOURCES})
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  get_property(deferred DIRECTORY PROPERTY KESTRAVA_TEST_DEFAULTS)
  if(NOT deferred)
    set_property(DIRECTORY PROPERTY KESTRAVA_TEST_DEFAULTS ON)
    cmake_language(DEFER CALL kestrava_test_defaults)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kestrava_testsupport GTest::gtest GTest::gtest_main)
  if(TARGET kestrava_thread_watch)
    target_link_libraries(${name} PRIVATE kestrava_thread_watch)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # The test code itself at -O1 with line tables: it compiles in 40 % less time than at -O2 with
  # full debug information, and the code under test keeps the flags of the build it belongs to.
  target_compile_options(${name} PRIVATE -O1 -g1)

  string(JOIN ":" threads ${ARG_THREADS})
  if(KESTRAVA_SANITIZE STREQUAL "thread")
    # Only the programs with thread cases are built (the build preset's target) and registered.
    if(threads)
      add_dependencies(kestrava_thread_tests ${name})
      kestrava_register_tests(${name} "" "${threads}" threads "")
    endif()
    return()
  endif()
  set(prefixes "")
  if(ARG_BOTH_CPUS)
    list(APPEND prefixes "generic.")
  endif()
  foreach(prefix "" ${prefixes})
    set(env "")
    if(prefix)
      set(env "KESTRAVA_CPU=generic")
    endif()
    if(threads)
      kestrava_register_tests(${name} "${prefix}" "${threads}" threads "${env}")
    endif()
    if(NOT threads STREQUAL "*")
      kestrava_register_tests(${name} "${prefix}" "-${threads}" "" "${env}")
    endif()
  endforeach()
endfunction()

# The cases of <target> that match <filter>, each a CTest test of its own, with the time-out of
# the configuration. KESTRAVA_TEST_THREADS tells the thread watch whether the case may start threads.
function(kestrava_register_tests target prefix filter label env)
  set(properties TIMEOUT ${KESTRAVA_TEST_TIMEOUT})
  if(env)
    list(APPEND properties ENVIRONMENT ${env})
  endif()
  # A second variable would not survive the test discovery as part of ENVIRONMENT.
  if(label STREQUAL "threads")
    list(APPEND properties ENVIRONMENT_MODIFICATION KESTRAVA_TEST_THREADS=set:1 LABELS threads)
  else()
    list(APPEND properties ENVIRONMENT_MODIFICATION KESTRAVA_TEST_THREADS=set:0)
  endif()
  if(filter STREQUAL "-")
    set(filter "*")
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${prefix}" TEST_FILTER "${filter}"
    PROPERTIES ${properties})
endfunction()

# The tests a test folder adds itself (add_test) get the time-out of the configuration too, and
# under ThreadSanitizer, which runs only the "threads" label, they are switched off: they run
# programs the build there leaves out. kestrava_test() has this run at the end of its folder.
function(kestrava_test_defaults)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test ${tests})
    get_test_property(${test} TIMEOUT timeout)
    if(NOT timeout)
      set_tests_properties(${test} PROPERTIES TIMEOUT ${KESTRAVA_TEST_TIMEOUT})
    endif()
    get_test_property(${test} LABELS labels)
    if(KESTRAVA_SANITIZE STREQUAL "thread" AND NOT "threads" IN_LIST labels)
      set_tests_properties(${test} PROPERTIES DISABLED TRUE)
    endif()
  endforeach()
endfunction()
