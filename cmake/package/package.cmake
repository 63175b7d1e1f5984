# The release: the package for the person on the Windows host, telinv-<version>-win32.zip
# (win64 for a 64-bit build) with telinv.exe, telinv-read.exe (where the build has it) and
# README.txt, and its SHA-256 sum file beside it; "cmake --build --preset win32 --target
# package".
#
# Two builds of one commit give the same bytes, wherever and whenever they run:
# - one release time stamp (source-date-epoch.cmake: SOURCE_DATE_EPOCH, else the commit's
#   time) goes into the programs' PE headers, through GNU ld, which takes it from
#   SOURCE_DATE_EPOCH and then computes the header's checksum, and into the zip's entries;
# - no path of the source or build tree reaches the files (-ffile-prefix-map);
# - make-package.py writes the zip itself: fixed entry order, times, permissions, no extra
#   fields, one compression level.
# With TELINV_SIGN_PKCS12 and TELINV_SIGN_PASSWORD (or TELINV_SIGN_PASSWORD_FILE) in the
# environment of the build, the package step signs its copies of the programs
# (Authenticode, SHA-256, osslsigncode) before zipping them; the variables are read when
# the package is made, never stored in the cache.
# Included from the top-level CMakeLists.txt after the telinv and telinv-read targets.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TELINV_PACKAGE_ARCH win64)
else()
  set(TELINV_PACKAGE_ARCH win32)
endif()
set(TELINV_PACKAGE_NAME telinv-${PROJECT_VERSION}-${TELINV_PACKAGE_ARCH})
set(TELINV_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
configure_file(${CMAKE_CURRENT_LIST_DIR}/README.txt.in ${TELINV_PACKAGE_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
set(TELINV_SHIPPED telinv)
if(TARGET telinv-read)
  list(APPEND TELINV_SHIPPED telinv-read)
endif()
install(TARGETS ${TELINV_SHIPPED} RUNTIME DESTINATION .)
install(FILES ${TELINV_PACKAGE_DIR}/README.txt DESTINATION .)

# --- the release time stamp ---------------------------------------------------------------
set(TELINV_EPOCH_FILE ${TELINV_PACKAGE_DIR}/source-date-epoch)
set(TELINV_EPOCH_ARGS -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DOUTPUT=${TELINV_EPOCH_FILE})
set(TELINV_EPOCH_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/source-date-epoch.cmake)
# Once now, so that the configure log says where the time stamp comes from; again before
# every link of telinv, since a commit changes it without a new configure (quietly, unless
# it changed).
execute_process(COMMAND ${CMAKE_COMMAND} ${TELINV_EPOCH_ARGS} -P ${TELINV_EPOCH_SCRIPT}
  RESULT_VARIABLE telinv_epoch_rc)
if(NOT telinv_epoch_rc EQUAL 0)
  message(FATAL_ERROR "telinv: no release time stamp")
endif()
add_custom_target(telinv_source_date_epoch
  COMMAND ${CMAKE_COMMAND} ${TELINV_EPOCH_ARGS} -DQUIET=1 -P ${TELINV_EPOCH_SCRIPT}
  BYPRODUCTS ${TELINV_EPOCH_FILE}
  VERBATIM)
foreach(target ${TELINV_SHIPPED})
  add_dependencies(${target} telinv_source_date_epoch)
endforeach()

if(MINGW)
  foreach(target ${TELINV_SHIPPED})
    # The link runs with SOURCE_DATE_EPOCH set from the file, and again when the file changes.
    set_target_properties(${target} PROPERTIES CXX_LINKER_LAUNCHER
      "${CMAKE_COMMAND};-DEPOCH_FILE=${TELINV_EPOCH_FILE};-P;${CMAKE_CURRENT_LIST_DIR}/link-with-epoch.cmake;--")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${TELINV_EPOCH_FILE})
  endforeach()
  # No path of this machine in the shipped programs (__FILE__ and the like), whatever
  # folders a builder clones and builds in. Debug builds keep their paths for the debugger.
  foreach(target ${TELINV_SHIPPED} telinv_core)
    target_compile_options(${target} PRIVATE
      $<$<CONFIG:MinSizeRel,Release>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
      $<$<CONFIG:MinSizeRel,Release>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>)
  endforeach()
  if(TARGET telinv_reader)
    target_compile_options(telinv_reader PRIVATE
      $<$<CONFIG:MinSizeRel,Release>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
      $<$<CONFIG:MinSizeRel,Release>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=>)
  endif()
endif()

# --- the package ------------------------------------------------------------------------
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  set(TELINV_PYTHON ${Python3_EXECUTABLE})
else()
  set(TELINV_PYTHON python3)
  message(STATUS "telinv: no Python 3: the package target needs it (python3)")
endif()
# The package command without its output folder: the package target adds the build tree,
# the package checks a folder of their own (tests/artifact).
set(TELINV_PACKAGE_COMMAND ${TELINV_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/make-package.py
  --exe $<TARGET_FILE:telinv> --readme ${TELINV_PACKAGE_DIR}/README.txt
  --epoch-file ${TELINV_EPOCH_FILE} --name ${TELINV_PACKAGE_NAME})
if(TARGET telinv-read)
  list(APPEND TELINV_PACKAGE_COMMAND --reader-exe $<TARGET_FILE:telinv-read>)
endif()
# A build tree made when CPack made the package still has CPack's configuration, and CMake
# reserves the name "package" for CPack while that is there.
file(REMOVE ${PROJECT_BINARY_DIR}/CPackConfig.cmake ${PROJECT_BINARY_DIR}/CPackSourceConfig.cmake)
# Always run: whether the package is signed depends on the environment of the build.
add_custom_target(package
  COMMAND ${TELINV_PACKAGE_COMMAND} --out-dir ${PROJECT_BINARY_DIR}
  COMMENT "Packaging ${TELINV_PACKAGE_NAME}.zip" VERBATIM)
add_dependencies(package ${TELINV_SHIPPED})
