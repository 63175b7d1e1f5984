# The shipped telinv.exe and telinv-read.exe and their release package, on the build that
# makes them (i686): the files' facts, the package, a second build that must give the same
# bytes, the signatures, and the signed file's report under Wine. The package checks run the package
# target's own command (TELINV_PACKAGE_COMMAND, cmake/package/package.cmake) into folders
# of their own, so the build tree's package stays as it was made.
if(NOT (WIN32 AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686"))
  return()
endif()
set(TELINV_ARTIFACT_DIR ${CMAKE_CURRENT_LIST_DIR})

add_test(NAME shipped_artifact
  COMMAND ${TELINV_ARTIFACT_DIR}/check-artifact $<TARGET_FILE:telinv> ${PROJECT_VERSION}.0)
# telinv-read.exe: the same facts, its own imports and a size limit of 2 MiB (a static C++
# runtime and a JSON library).
if(TARGET telinv-read)
  add_test(NAME shipped_reader_artifact
    COMMAND ${TELINV_ARTIFACT_DIR}/check-artifact $<TARGET_FILE:telinv-read> ${PROJECT_VERSION}.0
            ${TELINV_ARTIFACT_DIR}/imports-reader.txt 2097152)
endif()
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

add_test(NAME release_signature
  COMMAND ${TELINV_ARTIFACT_DIR}/check-signature --build ${PROJECT_BINARY_DIR} --version ${PROJECT_VERSION}.0
          --name ${TELINV_PACKAGE_NAME} -- ${TELINV_PACKAGE_COMMAND})
set_tests_properties(release_signature PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The signed file's report under Wine is the unsigned file's, as the shipped file runs.
if(TELINV_E2E_MKPE)
  foreach(arch ${TELINV_WINE_ARCHES})
    add_test(NAME signed_report_${arch}
      COMMAND ${TELINV_ARTIFACT_DIR}/signed-report --arch ${arch} --telinv $<TARGET_FILE:telinv>
              --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools --template ${TELINV_E2E_TEMPLATE}
              --fixture ${PROJECT_SOURCE_DIR}/examples/sample-host -- ${TELINV_PACKAGE_COMMAND})
    set_tests_properties(signed_report_${arch} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
  endforeach()
endif()
