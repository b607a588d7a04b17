# The version in the forms its users need, generated into the build folder:
#   generated/hivora_version.h  HIVORA_VERSION "2.1.4", HIVORA_VERSION_QUAD "2.1.4.0" and
#                               HIVORA_VERSION_COMMAS 2,1,4,0 (for C++ and the resource compiler)
#   version.txt                 the version alone, for scripts (the release, the demo)
# hv_version is the interface library that puts the header on the include path.
set(HIVORA_VERSION "${PROJECT_VERSION}")
set(parts)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND parts 0)
  else()
    list(APPEND parts "${PROJECT_VERSION_${part}}")
  endif()
endforeach()
list(JOIN parts "." HIVORA_VERSION_QUAD)
list(JOIN parts "," HIVORA_VERSION_COMMAS)
foreach(part IN LISTS parts)
  if(part GREATER 65535)
    message(FATAL_ERROR "Version ${HIVORA_VERSION}: a version resource holds parts up to 65535")
  endif()
endforeach()

set(HIVORA_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
configure_file("${CMAKE_CURRENT_LIST_DIR}/hivora_version.h.in" "${HIVORA_GENERATED_DIR}/hivora_version.h" @ONLY)
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/version.txt" CONTENT "${HIVORA_VERSION}\n")

add_library(hv_version INTERFACE)
target_include_directories(hv_version INTERFACE "${HIVORA_GENERATED_DIR}")
