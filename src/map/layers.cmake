# Commands and styles of the map's object sets: Qt Core only, tested directly.
add_library(player_layers STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/LayerStyles.h ${CMAKE_CURRENT_SOURCE_DIR}/LayerStyles.cpp
)
target_include_directories(player_layers PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(player_layers PUBLIC telvika_common Qt6::Core)
telvika_warnings(player_layers)

target_sources(player_ui PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/TForm1Layers.cpp)
target_link_libraries(player_ui PUBLIC player_layers)
