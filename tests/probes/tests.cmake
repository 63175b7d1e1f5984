# The tool runner and MAC address extraction.
include(${CMAKE_CURRENT_LIST_DIR}/standins.cmake)
telinv_test(probes_test probes/mac_extract_test.cpp probes/wmic_decode_test.cpp probes/tool_runner_test.cpp)
telinv_use_standins(probes_test)
