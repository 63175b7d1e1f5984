# The helpers that several subsystems share.
telinv_test(base_test base/base_test.cpp)
