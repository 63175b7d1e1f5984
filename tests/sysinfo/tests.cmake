# System information, network adapters, mail settings.
include(${CMAKE_CURRENT_SOURCE_DIR}/probes/standins.cmake)
telinv_test(sysinfo_test sysinfo/sysinfo_test.cpp sysinfo/adapters_test.cpp sysinfo/email_test.cpp)
telinv_use_standins(sysinfo_test)
