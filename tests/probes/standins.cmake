# The stand-in tools that a test program installs (tests/probes/standins.h), and where
# the build puts them.
include_guard(GLOBAL)
function(telinv_use_standins target)
  add_dependencies(${target} standin_wmic standin_getmac standin_ipconfig standin_sleeper)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/standins.cpp)
  target_compile_definitions(${target} PRIVATE
    TELINV_STANDIN_WMIC="$<TARGET_FILE:standin_wmic>"
    TELINV_STANDIN_GETMAC="$<TARGET_FILE:standin_getmac>"
    TELINV_STANDIN_IPCONFIG="$<TARGET_FILE:standin_ipconfig>"
    TELINV_STANDIN_SLEEPER="$<TARGET_FILE:standin_sleeper>")
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  if(CMAKE_CROSSCOMPILING)
    # Wine decides builtin or native when the parent starts a program, from the load
    # order the parent had at its own start: the stand-ins in the system directory
    # must be named native before the test program starts.
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "WINEDLLOVERRIDES=wmic.exe,ipconfig.exe,getmac.exe=n")
  endif()
endfunction()
