# The Ansible playbook of examples/ (telinv on many hosts): ansible-playbook's syntax check
# with the example inventory. Skipped (77) where Ansible or ansible.windows is not installed.
if(NOT WIN32)
  add_test(NAME examples_playbook_syntax COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-playbook)
  set_tests_properties(examples_playbook_syntax PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)
endif()
