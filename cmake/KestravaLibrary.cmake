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
    if(ARG_HOT)
      target_compile_options(${name} PRIVATE $<$<CONFIG:RelWithDebInfo,Release>:-O3>)
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# kestrava_test(<folder> LIBS <targets>... [BOTH_CPUS])
# One test program per test folder from its *_test.cpp files, registered with CTest.
# BOTH_CPUS registers every case twice: once as chosen by the processor, once with
# KESTRAVA_CPU=generic, so that both builds of the hot routines are checked.
function(kestrava_test name)
  cmake_parse_arguments(ARG "BOTH_CPUS" "" "LIBS;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  list(APPEND sources ${ARG_SOURCES})
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kestrava_testsupport GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  if(ARG_BOTH_CPUS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_PREFIX "generic."
      PROPERTIES TIMEOUT 300 ENVIRONMENT "KESTRAVA_CPU=generic")
  endif()
endfunction()
