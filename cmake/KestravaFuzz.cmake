# Fuzzing build (preset "fuzz", clang only): every library is instrumented for libFuzzer and
# AddressSanitizer + UBSan, and each parser of outside input gets a fuzzer from fuzz/.
option(KESTRAVA_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(KESTRAVA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KESTRAVA_FUZZ needs clang (use the \"fuzz\" preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_custom_target(kestrava_fuzzers)
endif()

# kestrava_fuzzer(<name> SOURCES <files>... LIBS <targets>...)
# A libFuzzer program build/…/fuzz/<name>; its seed corpus is fuzz/corpus/<name>/.
function(kestrava_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  add_dependencies(kestrava_fuzzers ${name})
endfunction()
