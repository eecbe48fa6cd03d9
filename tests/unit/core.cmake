add_executable(core_tests
  core/text_test.cpp core/station_store_test.cpp core/toolkit_test.cpp core/startup_test.cpp
  core/main_window_test.cpp core/artwork_test.cpp core/imaging_test.cpp core/grid_test.cpp core/settings_test.cpp core/editor_test.cpp
  core/catalogue_test.cpp core/add_station_test.cpp core/namecard_test.cpp)
target_link_libraries(core_tests PRIVATE tivolna_ui tivolna_catalogue_tool deps::zlib GTest::gtest_main)
target_include_directories(core_tests PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(core_tests PRIVATE TIVOLNA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TIVOLNA_CATALOGUE_TOOL="$<TARGET_FILE:tivolna-catalogue>" TIVOLNA_TOOL_RUNNER="${CMAKE_CROSSCOMPILING_EMULATOR}")
add_dependencies(core_tests tivolna-catalogue)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60)

# Playback against the loopback server: one process, so the server starts once.
tivolna_server_test(playback_tests 240 test-media-playback core/playback_test.cpp)
target_link_libraries(playback_tests PRIVATE tivolna_ui)

# Adding stations through the main window against the loopback server.
tivolna_server_test(add_station_tests 240 test-media-add-station core/add_station_window_test.cpp)
target_link_libraries(add_station_tests PRIVATE tivolna_ui)
