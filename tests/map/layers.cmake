# Commands and styles of the map's object sets, and the layers of the real window.
telvika_add_test(NAME test_layer_styles SOURCES tst_layer_styles.cpp LIBS player_layers LABEL map)
if(TARGET player_ui)
  telvika_add_test(NAME test_map_layers SOURCES tst_layers.cpp LIBS player_ui LABEL map TIMEOUT 600)
  target_include_directories(test_map_layers PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
