# telinv-read, the support side (reader/).
#
# reader_test: the Google Test program of the reader (parser, code pages, diffs, outputs);
# on the host each case is a CTest test, under Wine the program runs once.
add_executable(reader_test reader/parse_test.cpp reader/codepage_test.cpp reader/diff_test.cpp
  reader/output_test.cpp reader/fleet_test.cpp)
target_include_directories(reader_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(reader_test PRIVATE telinv_reader gtest_main telinv_warnings)
if(MINGW)
  target_link_options(reader_test PRIVATE -static -static-libgcc -static-libstdc++)
endif()
if(CMAKE_CROSSCOMPILING)
  add_test(NAME reader_test COMMAND reader_test)
  set_tests_properties(reader_test PROPERTIES TIMEOUT 300)
else()
  gtest_discover_tests(reader_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endif()

# End-to-end, on the host build: the reports of every fixture host (and of hosts derived
# from them) made once by reader_e2e_make, then read back by telinv-read: the bytes made
# again from the JSON, the JSON against the schemas (python3-jsonschema; skipped without
# it), diffs, the table, the summary and the exit codes of bad calls.
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  set(TELINV_READER_E2E_DIR ${CMAKE_CURRENT_BINARY_DIR}/reader-e2e)
  set(e2e ${CMAKE_CURRENT_LIST_DIR}/e2e)
  add_test(NAME reader_e2e_make COMMAND ${e2e} make ${TELINV_READER_E2E_DIR} --telinv $<TARGET_FILE:telinv>
    --mkpe $<TARGET_FILE:mkpe> --tools ${PROJECT_BINARY_DIR}/tools --reader $<TARGET_FILE:telinv-read>)
  set_tests_properties(reader_e2e_make PROPERTIES FIXTURES_SETUP reader_e2e TIMEOUT 300)
  foreach(check rebuild schema diff outputs)
    add_test(NAME reader_e2e_${check} COMMAND ${e2e} ${check} ${TELINV_READER_E2E_DIR} --reader $<TARGET_FILE:telinv-read>)
    set_tests_properties(reader_e2e_${check} PROPERTIES FIXTURES_REQUIRED reader_e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
endif()

# Under Wine (wine64, or cmake/wine-run32 for the release's 32-bit build): telinv-read.exe
# itself on a report in a folder named in other scripts, its standard output and exit
# codes, clean.
if(CMAKE_CROSSCOMPILING AND WIN32)
  add_test(NAME reader_wine_cli COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-cli $<TARGET_FILE:telinv-read>
           ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(reader_wine_cli PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# clean: what it replaces and leaves, the layout that stays, the map (in reader_test).
target_sources(reader_test PRIVATE reader/clean_test.cpp)

if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  add_test(NAME reader_e2e_clean COMMAND ${e2e} clean ${TELINV_READER_E2E_DIR} --reader $<TARGET_FILE:telinv-read>)
  set_tests_properties(reader_e2e_clean PROPERTIES FIXTURES_REQUIRED reader_e2e TIMEOUT 300)
endif()

# The fleet page (telinv-read html) of a fleet made from those reports (fleet_fixture.py):
# the page as a file (its policy and hashes, escaping, exit codes), and the page in
# headless Chromium (skipped, 77, where chromium, chromium-driver or python3-selenium is
# missing); the browser check keeps fleet.png and fleet.pdf in reader-fleet-browser/.
if(NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  foreach(check page browser)
    add_test(NAME reader_fleet_${check} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_fleet.py ${check}
      --reader $<TARGET_FILE:telinv-read> --e2e ${TELINV_READER_E2E_DIR} --out ${CMAKE_CURRENT_BINARY_DIR}/reader-fleet-${check})
    set_tests_properties(reader_fleet_${check} PROPERTIES FIXTURES_REQUIRED reader_e2e TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
endif()
