# The file inventory: version probe, inventory section, directory listing.
telinv_test(inventory_test inventory/file_version_test.cpp inventory/inventory_test.cpp
  inventory/directory_listing_test.cpp)
target_compile_definitions(inventory_test PRIVATE TELINV_HAVE_PE_FIXTURES=${TELINV_HAVE_PE_FIXTURES})
target_link_libraries(inventory_test PRIVATE pe_writer)
if(TELINV_HAVE_PE_FIXTURES)
  add_dependencies(inventory_test telinv_pe_fixtures)
endif()

