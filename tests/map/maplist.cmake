# The map list: its file and texts directly; the dialog over the real map control and real charts;
# the window's start-up and menu against the real server, with a map made from OpenStreetMap data.
telvika_add_test(NAME test_maplist_file SOURCES tst_maplist_file.cpp LIBS player_maplist LABEL map)
if(TARGET player_ui AND TARGET mvx_chart)
  telvika_add_test(NAME test_maplist_dialog
    SOURCES tst_maplist_dialog.cpp ${PROJECT_SOURCE_DIR}/tests/chart/ChartFixture.cpp
    LIBS player_ui GDAL::GDAL LABEL map)
  target_include_directories(test_maplist_dialog PRIVATE ${PROJECT_SOURCE_DIR}/tests/chart)
  add_dependencies(test_maplist_dialog mvx)
  telvika_add_test(NAME test_maplist_window SOURCES tst_maplist_window.cpp
    LIBS player_ui GDAL::GDAL LABEL map TIMEOUT 600)
  add_dependencies(test_maplist_window mvx telvika-server telvika-admin)
endif()

# The map list reader's fuzz target: the committed corpus and fixed-seed mutations of it replayed
# as an ordinary test with any compiler; with clang, a libFuzzer executable in a folder of its own:
#   cmake -S . -B build-player-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DPLAYER_FUZZ=ON \
#     -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined"
#   cmake --build build-player-fuzz --target fuzz_maplist
#   build-player-fuzz/tests/bin/fuzz_maplist -max_total_time=180 <scratch copy of tests/map/corpus>
add_library(player_maplist_fuzz STATIC ${CMAKE_CURRENT_LIST_DIR}/MapListFuzz.h ${CMAKE_CURRENT_LIST_DIR}/MapListFuzz.cpp)
target_link_libraries(player_maplist_fuzz PUBLIC player_maplist)
telvika_warnings(player_maplist_fuzz)
telvika_add_test(NAME test_maplist_fuzz SOURCES tst_maplist_fuzz.cpp LIBS player_maplist_fuzz LABEL map)
option(PLAYER_FUZZ "Build the libFuzzer targets of the settings loader and the map list (clang only)" OFF)
if(PLAYER_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_maplist ${CMAKE_CURRENT_LIST_DIR}/fuzz_maplist.cpp)
  target_link_libraries(fuzz_maplist PRIVATE player_maplist_fuzz)
  set_target_properties(fuzz_maplist PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_options(fuzz_maplist PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
