add_executable(core_tests
  core/text_test.cpp core/station_store_test.cpp core/toolkit_test.cpp core/startup_test.cpp)
target_link_libraries(core_tests PRIVATE tivolna_ui GTest::gtest_main)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)
