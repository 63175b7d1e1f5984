# The platform layer: text-mode streams on both layers.
telinv_test(platform_test platform/text_mode_test.cpp)

# The host layer's own parts (the simulated registry, version resources, what its text
# streams do beyond Windows' rules): host only, since on Windows they are the system's.
if(NOT WIN32)
  telinv_test(host_platform_test platform/registry_test.cpp platform/version_info_test.cpp
    platform/pe_version_test.cpp platform/text_files_test.cpp)
  target_link_libraries(host_platform_test PRIVATE pe_writer)
endif()
