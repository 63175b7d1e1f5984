# Whole reports of simulated hosts, on the host build and under Wine.
#
# Each fixture host is run through the build's own telinv (the host build on the simulated
# host; the win64 build under wine64; the shipped win32 telinv.exe under Wine twice, through
# WoW64 in a 64-bit prefix and in a 32-bit prefix) and the view of its report is compared
# with one checked-in expected view, the same for every build:
# tests/e2e/expected/<fixture>.txt. See tests/e2e/README.md.
#
# telinv_e2e_test(NAME FIXTURE_DIR SECTIONS [extra check options...])
#   SECTIONS: the report's sections to compare ("all", or a comma-separated list).
#   Tests: NAME_host, NAME_win64, NAME_wow64, NAME_win32, as the build runs them.
set(TELINV_E2E_DIR ${CMAKE_CURRENT_LIST_DIR})

# How this build's telinv.exe runs under Wine: the 64-bit program under wine64; the
# 32-bit program as on 64-bit Windows (WoW64) and as on 32-bit Windows.
if(CMAKE_CROSSCOMPILING AND WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(TELINV_WINE_ARCHES win64)
  else()
    set(TELINV_WINE_ARCHES wow64 win32)
  endif()
endif()

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
  # NATIVE_EXPECTED FILE: the expected view where the program sees the one registry view
  # and system directory that the machine has (win64, and 32-bit Windows), for a fixture
  # whose 32-bit view differs; the host build plays WOW64 on such a fixture.
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "NATIVE_EXPECTED" "")
  get_filename_component(fixture_name ${fixture} NAME)
  set(expected ${TELINV_E2E_DIR}/expected/${fixture_name}.txt)
  set(common --sections ${sections} --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools
      --telinv $<TARGET_FILE:telinv>)
  if(CMAKE_CROSSCOMPILING AND WIN32)
    if(NOT TELINV_E2E_MKPE)
      return()
    endif()
    foreach(arch ${TELINV_WINE_ARCHES})
      set(arch_expected ${expected})
      if(arg_NATIVE_EXPECTED AND NOT arch STREQUAL "wow64")
        set(arch_expected ${arg_NATIVE_EXPECTED})
      endif()
      add_test(NAME ${name}_${arch} COMMAND ${TELINV_E2E_DIR}/check --side wine --arch ${arch}
        --expected ${arch_expected} ${common} --template ${TELINV_E2E_TEMPLATE} ${arg_UNPARSED_ARGUMENTS} ${fixture})
      # The first run makes the template prefix (about 10 s).
      set_tests_properties(${name}_${arch} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endforeach()
  elseif(NOT WIN32)
    add_test(NAME ${name}_host COMMAND ${TELINV_E2E_DIR}/check --side host --expected ${expected} ${common}
      ${arg_UNPARSED_ARGUMENTS} ${fixture})
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

# A 64-bit host with lists in both registry views and drivers in the native system32 that
# SysWOW64 lacks: a 32-bit program (the host build playing WOW64, the shipped file through
# WoW64) shows both views' entries, each name once, and the native files; a 64-bit program
# and 32-bit Windows show the one view.
telinv_e2e_test(e2e_two_views ${PROJECT_SOURCE_DIR}/tests/fixtures/two-views all
  NATIVE_EXPECTED ${TELINV_E2E_DIR}/expected/two-views-native.txt)

# The WoW64 runs prove something only where they show what 64-bit Windows shows a 32-bit
# program: the same run of the two-views host with the win64 build (a 64-bit program, which
# Windows and Wine show the native registry view and system32) must give the native view,
# not the one the shipped file gives. It needs the win64 build (scripts/test makes it
# first); skipped without it.
if(CMAKE_CROSSCOMPILING AND WIN32 AND TELINV_E2E_MKPE AND "wow64" IN_LIST TELINV_WINE_ARCHES)
  set(TELINV_E2E_WIN64_TELINV ${PROJECT_SOURCE_DIR}/build/win64/telinv.exe CACHE FILEPATH
    "The win64 build's telinv.exe, for the check that the WoW64 runs see what a 32-bit program sees")
  add_test(NAME e2e_two_views_wow64_64_bit_program COMMAND bash -c
    "[ -f \"$1\" ] || { echo \"skipped: no win64 build: $1\"; exit 77; }; shift; exec \"$@\""
    decoy ${TELINV_E2E_WIN64_TELINV}
    ${TELINV_E2E_DIR}/check --side wine --arch wow64 --expected ${TELINV_E2E_DIR}/expected/two-views-native.txt
    --sections all --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools --telinv ${TELINV_E2E_WIN64_TELINV}
    --template ${TELINV_E2E_TEMPLATE} ${PROJECT_SOURCE_DIR}/tests/fixtures/two-views)
  set_tests_properties(e2e_two_views_wow64_64_bit_program PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

# The application manifest: with Wine playing Windows 10 the version query answers 10.0
# (6.2 without the manifest), with Windows 7 6.1.
if(CMAKE_CROSSCOMPILING AND WIN32 AND TELINV_E2E_MKPE)
  foreach(arch ${TELINV_WINE_ARCHES})
    foreach(version win10:10.0 win7:6.1)
      string(REPLACE ":" ";" version ${version})
      list(GET version 0 wine_name)
      list(GET version 1 reported)
      add_test(NAME windows_version_${wine_name}_${arch} COMMAND ${TELINV_E2E_DIR}/check --side wine
        --arch ${arch} --windows-version ${wine_name} --require-line "WindowsVersion:    ${reported}"
        --expected ${TELINV_E2E_DIR}/expected/no-suite.txt --sections all
        --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools --telinv $<TARGET_FILE:telinv>
        --template ${TELINV_E2E_TEMPLATE} ${PROJECT_SOURCE_DIR}/tests/fixtures/no-suite)
      set_tests_properties(windows_version_${wine_name}_${arch} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
    endforeach()
  endforeach()
endif()

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
      --tools-mode ${mode} --side-effects ${PROJECT_SOURCE_DIR}/examples/sample-host)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/e2e/side-effects-${mode})
  if(CMAKE_CROSSCOMPILING AND WIN32)
    if(TELINV_E2E_MKPE)
      foreach(arch ${TELINV_WINE_ARCHES})
        add_test(NAME side_effects_${mode}_${arch} COMMAND ${TELINV_E2E_DIR}/run-wine --arch ${arch}
          --template ${TELINV_E2E_TEMPLATE} ${args} ${out}-${arch}.txt)
        set_tests_properties(side_effects_${mode}_${arch} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
      endforeach()
    endif()
  elseif(NOT WIN32)
    add_test(NAME side_effects_${mode}_host COMMAND ${TELINV_E2E_DIR}/run-host ${args} ${out}.txt)
    set_tests_properties(side_effects_${mode}_host PROPERTIES TIMEOUT 120)
  endif()
endforeach()

# Where telinv is really run (tests/e2e/robust): under a remote shell, with tools that
# look at what they inherit or leave a process behind, under names that the ANSI code
# page can't spell, with a Cygwin shell's TZ, on a full disk; and with wmic present, gone,
# not ending or giving no value row; and started in the system directory.
# telinv_robust_test(SCENARIO PROGRAM ON_HOST): the scenario under Wine and, with ON_HOST,
# on the host build (which plays only some of them).
function(telinv_robust_test scenario program on_host)
  set(args --mkpe ${TELINV_E2E_MKPE} --tools ${PROJECT_BINARY_DIR}/tools --telinv ${program})
  if(CMAKE_CROSSCOMPILING AND WIN32)
    if(TELINV_E2E_MKPE)
      foreach(arch ${TELINV_WINE_ARCHES})
        add_test(NAME robust_${scenario}_${arch} COMMAND ${TELINV_E2E_DIR}/robust --side wine --arch ${arch}
          --template ${TELINV_E2E_TEMPLATE} ${args} ${scenario})
        set_tests_properties(robust_${scenario}_${arch} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
      endforeach()
    endif()
  elseif(NOT WIN32 AND on_host)
    add_test(NAME robust_${scenario}_host COMMAND ${TELINV_E2E_DIR}/robust --side host ${args} ${scenario})
    set_tests_properties(robust_${scenario}_host PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
  endif()
endfunction()

foreach(scenario stdin handles full-disk full-disk-short wmic-present wmic-absent wmic-no-value system-dir)
  telinv_robust_test(${scenario} $<TARGET_FILE:telinv> ON)
endforeach()
# The Win32 layer's own: handle sharing, the ANSI code page, the C runtime's TZ.
foreach(scenario stray-child temp-name program-folder time-zone)
  telinv_robust_test(${scenario} $<TARGET_FILE:telinv> OFF)
endforeach()
# A wmic that does not end: telinv_quick, whose tools have two seconds.
telinv_robust_test(wmic-hanging $<TARGET_FILE:telinv_quick> ON)
