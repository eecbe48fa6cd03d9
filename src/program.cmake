# Portable helpers, the application core and the catalogue.
add_library(tivolna_base STATIC
  base/codepage.cpp base/errors.cpp base/intconv.cpp base/paths.cpp base/textfile.cpp)
target_include_directories(tivolna_base PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_library(tivolna_core STATIC
  app/marker_text.cpp app/player_state.cpp
  catalogue/station_store.cpp)
target_link_libraries(tivolna_core PUBLIC tivolna_base)

# The window framework with the platform's backend.
if(WIN32)
  set(_backend toolkit/win32/platform_win32.cpp)
else()
  set(_backend toolkit/headless/platform_headless.cpp)
endif()
add_library(tivolna_toolkit STATIC toolkit/toolkit.cpp ${_backend})
target_link_libraries(tivolna_toolkit PUBLIC tivolna_base Threads::Threads)

# The windows of the program.
add_library(tivolna_ui STATIC
  ui/artwork.cpp ui/program.cpp ui/main/form1.cpp ui/dialogs/dialogs.cpp)
target_link_libraries(tivolna_ui PUBLIC tivolna_core tivolna_toolkit tivolna_audio)

if(WIN32)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/tivolna.ico
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_icon.py ${CMAKE_CURRENT_BINARY_DIR}/tivolna.ico
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py)
  configure_file(tivolna.rc ${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc COPYONLY)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tivolna.ico)
  add_executable(tivolna WIN32 main.cpp ${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc)
  target_link_libraries(tivolna PRIVATE tivolna_ui)
  target_link_options(tivolna PRIVATE -mwindows)
endif()
