# The shipped telinv.exe and its release package, on the build that makes them (i686):
# the file's facts, the package, and a second build that must give the same bytes. The
# package checks run the package target's own command (TELINV_PACKAGE_COMMAND,
# cmake/package/package.cmake) into folders of their own, so the build tree's package
# stays as it was made.
if(NOT (WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686"))
  return()
endif()
set(TELINV_ARTIFACT_DIR ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME shipped_artifact
  COMMAND ${TELINV_ARTIFACT_DIR}/check-artifact $<TARGET_FILE:telinv> ${PROJECT_VERSION}.0)
add_test(NAME shipped_package
  COMMAND ${TELINV_ARTIFACT_DIR}/check-package ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${TELINV_PACKAGE_ARCH}
          -- ${TELINV_PACKAGE_COMMAND})

# A second build of the same source in a tree of its own, compared byte for byte.
add_test(NAME release_reproducible
  COMMAND ${TELINV_ARTIFACT_DIR}/check-reproducible --source ${PROJECT_SOURCE_DIR} --build ${PROJECT_BINARY_DIR}
          --work ${CMAKE_CURRENT_BINARY_DIR}/reproduce --generator ${CMAKE_GENERATOR}
          --toolchain ${CMAKE_TOOLCHAIN_FILE} --build-type ${CMAKE_BUILD_TYPE} --name ${TELINV_PACKAGE_NAME}
          -- ${TELINV_PACKAGE_COMMAND})
set_tests_properties(release_reproducible PROPERTIES TIMEOUT 900)
