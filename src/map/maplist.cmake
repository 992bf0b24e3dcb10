target_sources(player_ui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/TForm1MapList.cpp)
