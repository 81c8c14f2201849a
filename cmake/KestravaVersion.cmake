# The build identifier printed in the banner: the commit the tree was built from.
execute_process(COMMAND git rev-parse --short=12 HEAD
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  OUTPUT_VARIABLE KESTRAVA_BUILD_ID OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT KESTRAVA_BUILD_ID)
  set(KESTRAVA_BUILD_ID "unknown")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/BuildInfo.h.in ${PROJECT_BINARY_DIR}/generated/BuildInfo.h @ONLY)
