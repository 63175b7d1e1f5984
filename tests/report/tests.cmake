# The driver, banners and header.
telinv_test(report_test report/report_test.cpp)
if(WIN32)
  # The version resource of telinv.exe, so that the header finds the running file's version.
  target_sources(report_test PRIVATE ${PROJECT_BINARY_DIR}/telinv.rc)
  target_compile_definitions(report_test PRIVATE TELINV_EXPECTED_VERSION="${PROJECT_VERSION}.0")
endif()
