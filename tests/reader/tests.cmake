# telinv-read, the support side (reader/).
#
# reader_test: the Google Test program of the reader (parser, code pages, diffs, outputs);
# on the host each case is a CTest test, under Wine the program runs once.
add_executable(reader_test reader/parse_test.cpp reader/codepage_test.cpp reader/diff_test.cpp
  reader/output_test.cpp)
target_include_directories(reader_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/reader)
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
