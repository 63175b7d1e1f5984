# Whole reports of simulated hosts, on the host build and under Wine.
#
# Each fixture host is run through the build's own telinv (the host build on the simulated
# host, the win64 build under wine64 with the fixture imported into a fresh prefix) and the
# view of its report is compared with one checked-in expected view, the same for both
# builds: tests/e2e/expected/<fixture>.txt. See tests/e2e/README.md.
#
# telinv_e2e_test(NAME FIXTURE_DIR SECTIONS [extra check options...])
#   SECTIONS: the report's sections to compare ("all", or a comma-separated list).
set(TELINV_E2E_DIR ${CMAKE_CURRENT_LIST_DIR})

if(CMAKE_CROSSCOMPILING AND WIN32)
  # The fixture's PE files are made by mkpe on this machine: build it with the machine's
  # own compiler, since the build's compiler makes Windows programs.
  find_program(TELINV_NATIVE_CXX NAMES c++ g++ clang++)
  set(TELINV_E2E_MKPE ${CMAKE_CURRENT_BINARY_DIR}/e2e/mkpe)
  if(TELINV_NATIVE_CXX)
    add_custom_command(OUTPUT ${TELINV_E2E_MKPE}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/e2e
      COMMAND ${TELINV_NATIVE_CXX} -std=c++17 -O1 -Wall -Wextra -Werror -I${PROJECT_SOURCE_DIR}
              ${PROJECT_SOURCE_DIR}/tools/mkpe.cpp ${PROJECT_SOURCE_DIR}/tools/pe_writer.cpp -o ${TELINV_E2E_MKPE}
      DEPENDS ${PROJECT_SOURCE_DIR}/tools/mkpe.cpp ${PROJECT_SOURCE_DIR}/tools/pe_writer.cpp
              ${PROJECT_SOURCE_DIR}/tools/pe_writer.h
      COMMENT "Building mkpe for this machine (end-to-end fixtures)" VERBATIM)
    add_custom_target(telinv_e2e_mkpe ALL DEPENDS ${TELINV_E2E_MKPE})
  else()
    message(STATUS "No C++ compiler for this machine: the end-to-end tests under Wine are left out")
    set(TELINV_E2E_MKPE "")
  endif()
  # One template prefix per build tree, made by the first run; every run copies it.
  set(TELINV_E2E_TEMPLATE ${CMAKE_CURRENT_BINARY_DIR}/e2e/wine-template)
else()
  set(TELINV_E2E_MKPE $<TARGET_FILE:mkpe>)
endif()

function(telinv_e2e_test name fixture sections)
  get_filename_component(fixture_name ${fixture} NAME)
  set(common --expected ${TELINV_E2E_DIR}/expected/${fixture_name}.txt --sections ${sections}
      --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools --telinv $<TARGET_FILE:telinv>)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    if(NOT TELINV_E2E_MKPE)
      return()
    endif()
    add_test(NAME ${name}_wine COMMAND ${TELINV_E2E_DIR}/check --side wine ${common}
      --template ${TELINV_E2E_TEMPLATE} ${ARGN} ${fixture})
    # The first run makes the template prefix (about 10 s).
    set_tests_properties(${name}_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
  elseif(NOT WIN32)
    add_test(NAME ${name}_host COMMAND ${TELINV_E2E_DIR}/check --side host ${common} ${ARGN} ${fixture})
    set_tests_properties(${name}_host PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# The sample host of the README, the whole report.
telinv_e2e_test(e2e_sample_host ${PROJECT_SOURCE_DIR}/examples/sample-host all)

# The parity fixtures: a Windows 6.1 installation on drive D: with two adapters and mail
# settings; a Windows 5.1 host whose suite only the Program Files fallback finds; a host
# without the suite.
telinv_e2e_test(e2e_win61_drive_d ${PROJECT_SOURCE_DIR}/tests/fixtures/win61-drive-d all)
telinv_e2e_test(e2e_win51_fallback ${PROJECT_SOURCE_DIR}/tests/fixtures/win51-fallback all)
telinv_e2e_test(e2e_no_suite ${PROJECT_SOURCE_DIR}/tests/fixtures/no-suite all)

# No side effects: a full run of the sample host leaves the host as it was (on the host
# build its whole tree; under Wine the registry and the temporary directories) and its
# current directory holding telinv.txt alone, with the tools present, absent, and
# hanging. The hanging case runs telinv_quick, the program with a two-second limit for
# the tools, so that it is over in seconds rather than minutes.
add_executable(telinv_quick ${TELINV_E2E_DIR}/telinv_quick.cpp)
target_link_libraries(telinv_quick PRIVATE telinv_core telinv_warnings)
if(MINGW)
  target_link_options(telinv_quick PRIVATE -static -static-libgcc -static-libstdc++)
endif()
foreach(mode present absent hanging)
  if(mode STREQUAL "hanging")
    set(program $<TARGET_FILE:telinv_quick>)
  else()
    set(program $<TARGET_FILE:telinv>)
  endif()
  set(args --telinv ${program} --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools
      --tools-mode ${mode} --side-effects ${PROJECT_SOURCE_DIR}/examples/sample-host
      ${CMAKE_CURRENT_BINARY_DIR}/e2e/side-effects-${mode}.txt)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    if(TELINV_E2E_MKPE)
      add_test(NAME side_effects_${mode}_wine COMMAND ${TELINV_E2E_DIR}/run-wine --template ${TELINV_E2E_TEMPLATE} ${args})
      set_tests_properties(side_effects_${mode}_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endif()
  elseif(NOT WIN32)
    add_test(NAME side_effects_${mode}_host COMMAND ${TELINV_E2E_DIR}/run-host ${args})
    set_tests_properties(side_effects_${mode}_host PROPERTIES TIMEOUT 120)
  endif()
endforeach()
