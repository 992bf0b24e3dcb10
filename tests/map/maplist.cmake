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
