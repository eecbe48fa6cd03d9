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
add_executable(playback_tests core/playback_test.cpp)
target_link_libraries(playback_tests PRIVATE tivolna_ui GTest::gtest Threads::Threads)
target_include_directories(playback_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_compile_definitions(playback_tests PRIVATE TIVOLNA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TIVOLNA_MEDIA_DIR="${CMAKE_BINARY_DIR}/test-media-playback")
add_test(NAME playback_tests COMMAND playback_tests)
set_tests_properties(playback_tests PROPERTIES TIMEOUT 240)

# Adding stations through the main window against the loopback server.
add_executable(add_station_tests core/add_station_window_test.cpp)
target_link_libraries(add_station_tests PRIVATE tivolna_ui GTest::gtest Threads::Threads)
target_include_directories(add_station_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR})
target_compile_definitions(add_station_tests PRIVATE TIVOLNA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  TIVOLNA_MEDIA_DIR="${CMAKE_BINARY_DIR}/test-media-add-station")
add_test(NAME add_station_tests COMMAND add_station_tests)
set_tests_properties(add_station_tests PROPERTIES TIMEOUT 240)
