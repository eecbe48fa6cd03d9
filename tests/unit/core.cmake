add_executable(core_tests
  core/text_test.cpp core/station_store_test.cpp core/toolkit_test.cpp core/startup_test.cpp
  core/main_window_test.cpp core/artwork_test.cpp)
target_link_libraries(core_tests PRIVATE tivolna_ui deps::zlib GTest::gtest_main)
target_include_directories(core_tests PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(core_tests PRIVATE TIVOLNA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)
