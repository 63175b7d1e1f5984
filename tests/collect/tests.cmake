# File copies, tails, the configuration dump, the error log, the ring list.
telinv_test(collect_test collect/ring_list_test.cpp collect/tail_test.cpp collect/file_sections_test.cpp
  collect/config_dump_test.cpp collect/error_log_test.cpp)
