# Registry reads, identity, installation locator, registry walks.
telinv_test(install_test install/install_test.cpp)
