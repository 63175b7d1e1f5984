# The shipped telinv.exe and its release package, on the build that makes them (i686):
# the file's facts and the package. The package checks run the package
# target's own command (TELINV_PACKAGE_COMMAND, cmake/package/package.cmake) into folders
# of their own, so the build tree's package stays as it was made.
if(NOT (WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686"))
  return()
endif()
set(TELINV_ARTIFACT_DIR ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME shipped_artifact
  COMMAND ${TELINV_ARTIFACT_DIR}/check-artifact $<TARGET_FILE:telinv> ${PROJECT_VERSION}.0)
add_test(NAME shipped_package
  COMMAND ${TELINV_ARTIFACT_DIR}/check-package ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${TELINV_PACKAGE_ARCH}
          -- ${TELINV_PACKAGE_COMMAND})
