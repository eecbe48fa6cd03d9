# The repository folder (this file is also used by builds rooted elsewhere, such as bench/).
get_filename_component(_repo "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# The release number: VERSION at the top of the repository, also read by scripts/package.
file(STRINGS "${_repo}/VERSION" TIVOLNA_VERSION LIMIT_COUNT 1)
if(NOT TIVOLNA_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "VERSION must be MAJOR.MINOR.PATCH, not '${TIVOLNA_VERSION}'")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_repo}/VERSION")

# Portable helpers, the application core and the catalogue.
add_library(tivolna_base STATIC
  base/codepage.cpp base/errors.cpp base/intconv.cpp base/paths.cpp base/textfile.cpp)
target_include_directories(tivolna_base PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

# The product's web site; tests may point it elsewhere.
set(TIVOLNA_PRODUCT_SITE_URL "http://www.tivolna.ru" CACHE STRING "Scheme and host of the product's web site")
set(TIVOLNA_PRODUCT_SITE_NAME "www.tivolna.ru" CACHE STRING "The web site's name as the window shows it")
set(TIVOLNA_DIRECTORY_ROOT_URL "http://radio.tivolna.ru/" CACHE STRING "Root page of the station directory")
set(TIVOLNA_PLAYLIST_URL_PREFIX "http://stream.tivolna.ru/playlist/radio.m3u?station" CACHE STRING
  "The directory's stream playlist address up to the query key")

add_library(tivolna_core STATIC
  app/build_config.cpp app/marker_text.cpp app/player_state.cpp app/settings.cpp
  catalogue/station_store.cpp catalogue/favourites.cpp catalogue/directory_parser.cpp catalogue/rebuild.cpp
  catalogue/add_station.cpp catalogue/station_text.cpp)
target_link_libraries(tivolna_core PUBLIC tivolna_base tivolna_toolkit tivolna_audio)
set_source_files_properties(app/build_config.cpp PROPERTIES COMPILE_DEFINITIONS
  "TIVOLNA_PRODUCT_SITE_URL=\"${TIVOLNA_PRODUCT_SITE_URL}\";TIVOLNA_PRODUCT_SITE_NAME=\"${TIVOLNA_PRODUCT_SITE_NAME}\";TIVOLNA_DIRECTORY_ROOT_URL=\"${TIVOLNA_DIRECTORY_ROOT_URL}\";TIVOLNA_PLAYLIST_URL_PREFIX=\"${TIVOLNA_PLAYLIST_URL_PREFIX}\";TIVOLNA_VERSION_TEXT=\"${TIVOLNA_VERSION}\"")

# The window framework with the platform's backend.
set(_toolkit toolkit/graphics.cpp toolkit/canvas.cpp toolkit/skin.cpp toolkit/controls.cpp toolkit/grid.cpp
  toolkit/http_client.cpp
  toolkit/components.cpp toolkit/toolkit.cpp)
if(WIN32)
  set(_backend toolkit/win32/windows_win32.cpp toolkit/win32/surface_win32.cpp
    toolkit/win32/shell_win32.cpp toolkit/win32/drop_win32.cpp)
else()
  set(_backend toolkit/headless/platform_headless.cpp)
endif()
add_library(tivolna_toolkit STATIC ${_toolkit} ${_backend})
target_link_libraries(tivolna_toolkit PUBLIC tivolna_base tivolna_net Threads::Threads)
if(WIN32)
  target_link_libraries(tivolna_toolkit PUBLIC gdi32 user32 shell32 ole32)
endif()

# Picture decoders: libjpeg, libpng (with zlib), giflib.
if(WIN32)
  add_library(deps::png STATIC IMPORTED)
  set_target_properties(deps::png PROPERTIES IMPORTED_LOCATION "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/lib/libpng16.a"
    INTERFACE_INCLUDE_DIRECTORIES "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/include" INTERFACE_LINK_LIBRARIES deps::zlib)
  add_library(deps::gif STATIC IMPORTED)
  set_target_properties(deps::gif PROPERTIES IMPORTED_LOCATION "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/lib/libgif.a"
    INTERFACE_INCLUDE_DIRECTORIES "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/include")
else()
  find_package(PNG REQUIRED)
  add_library(deps::png ALIAS PNG::PNG)
  find_package(GIF REQUIRED)
  add_library(deps::gif INTERFACE IMPORTED)
  target_include_directories(deps::gif INTERFACE ${GIF_INCLUDE_DIR})
  target_link_libraries(deps::gif INTERFACE ${GIF_LIBRARIES})
endif()
add_library(tivolna_imaging STATIC imaging/picture.cpp)
target_link_libraries(tivolna_imaging PUBLIC tivolna_base tivolna_toolkit deps::jpeg deps::png deps::gif)

# Drawn station logos (name cards): FreeType with a font built in, written as PNG.
if(WIN32)
  add_library(deps::freetype STATIC IMPORTED)
  set_target_properties(deps::freetype PROPERTIES IMPORTED_LOCATION "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/lib/libfreetype.a"
    INTERFACE_INCLUDE_DIRECTORIES "${TIVOLNA_DEPS}/${TIVOLNA_ARCH}/include/freetype2"
    INTERFACE_LINK_LIBRARIES deps::zlib)
else()
  find_package(Freetype REQUIRED)
  add_library(deps::freetype ALIAS Freetype::Freetype)
endif()
set(TIVOLNA_NAMECARD_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf" CACHE FILEPATH
  "The font of the drawn station logos (fonts-dejavu-extra)")
if(NOT EXISTS "${TIVOLNA_NAMECARD_FONT}")
  message(FATAL_ERROR "${TIVOLNA_NAMECARD_FONT} is missing (scripts/setup installs fonts-dejavu-extra)")
endif()
add_library(tivolna_namecard STATIC imaging/namecard.cpp imaging/namecard_font.cpp)
set_source_files_properties(imaging/namecard_font.cpp PROPERTIES
  COMPILE_DEFINITIONS "TIVOLNA_NAMECARD_FONT_PATH=\"${TIVOLNA_NAMECARD_FONT}\""
  OBJECT_DEPENDS "${TIVOLNA_NAMECARD_FONT}")
target_link_libraries(tivolna_namecard PUBLIC tivolna_toolkit PRIVATE deps::freetype deps::png deps::zlib)

# Playback: the audio library as the program uses it, the stream worker, the media player.
add_library(tivolna_playback STATIC playback/title.cpp playback/audio_library.cpp
  playback/stream_worker.cpp playback/builtin_player.cpp playback/station_probe.cpp)
if(WIN32)
  target_sources(tivolna_playback PRIVATE playback/wmp_control_win32.cpp playback/wmp_events_win32.cpp)
  target_link_libraries(tivolna_playback PUBLIC ole32 oleaut32 uuid)
else()
  target_sources(tivolna_playback PRIVATE playback/media_player_builtin_only.cpp)
endif()
target_link_libraries(tivolna_playback PUBLIC tivolna_core tivolna_toolkit tivolna_audio)

# The windows of the program.
add_library(tivolna_ui STATIC
  ui/artwork.cpp ui/program.cpp ui/main/form1.cpp ui/main/form1_add.cpp ui/main/form1_catalogue.cpp ui/main/form1_grids.cpp
  ui/main/form1_playback.cpp ui/main/form1_tray.cpp ui/main/logos.cpp ui/main/rus_clipboard.cpp ui/dialogs/dialog_common.cpp
  ui/dialogs/settings_form.cpp ui/dialogs/editor_form.cpp ui/dialogs/update_form.cpp)
target_link_libraries(tivolna_ui PUBLIC tivolna_core tivolna_toolkit tivolna_audio tivolna_playback tivolna_imaging
  tivolna_namecard)

if(WIN32)
  # The icon is drawn by the artwork code and committed (tools/artwork).
  configure_file(${_repo}/assets/icon/tivolna.ico ${CMAKE_CURRENT_BINARY_DIR}/tivolna.ico COPYONLY)
  configure_file(tivolna.rc ${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc COPYONLY)
  configure_file(tivolna.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/tivolna.manifest @ONLY)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/tivolna.ico;${CMAKE_CURRENT_BINARY_DIR}/tivolna.manifest")
  add_executable(tivolna WIN32 main.cpp ${CMAKE_CURRENT_BINARY_DIR}/tivolna.rc)
  target_link_libraries(tivolna PRIVATE tivolna_ui)
  target_link_options(tivolna PRIVATE -mwindows)
endif()

if(NOT WIN32)
  # Writes the artwork files into the repository (tools/artwork/README.md).
  add_executable(export_artwork ${_repo}/tools/artwork/export_artwork.cpp)
  target_include_directories(export_artwork PRIVATE ${_repo})
  target_link_libraries(export_artwork PRIVATE tivolna_ui deps::zlib)
  set_target_properties(export_artwork PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
