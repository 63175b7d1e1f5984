# The Ansible playbook of examples/ (telinv on many hosts): ansible-playbook's syntax check
# with the example inventory. Skipped (77) where Ansible or ansible.windows is not installed.
if(NOT WIN32)
  add_test(NAME examples_playbook_syntax COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-playbook)
  set_tests_properties(examples_playbook_syntax PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()

# The README's first command on a fresh clone without telinv-read's libraries (hidden in a
# private mount namespace): it still writes the sample report. Skipped (77) without root.
if(NOT WIN32 AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME examples_run_sample_fresh COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-run-sample ${PROJECT_SOURCE_DIR})
  set_tests_properties(examples_run_sample_fresh PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
endif()
