# The player's widgets (main window and its parts) and the program.
add_library(player_ui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/TPlayerEnvironment.h ${CMAKE_CURRENT_SOURCE_DIR}/TPlayerEnvironment.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TForm1.h ${CMAKE_CURRENT_SOURCE_DIR}/TForm1.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TForm1Startup.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PlayerApplication.h ${CMAKE_CURRENT_SOURCE_DIR}/PlayerApplication.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TSessionEndWatcher.h ${CMAKE_CURRENT_SOURCE_DIR}/TSessionEndWatcher.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/UserDialogs.h ${CMAKE_CURRENT_SOURCE_DIR}/ui/UserDialogs.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/TSymbolButton.h ${CMAKE_CURRENT_SOURCE_DIR}/ui/TSymbolButton.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/TUpDown.h ${CMAKE_CURRENT_SOURCE_DIR}/ui/TUpDown.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/TImageList.h ${CMAKE_CURRENT_SOURCE_DIR}/ui/TImageList.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/TListPopupStyle.h
  ${PROJECT_SOURCE_DIR}/src/map/MapControlLoader.h ${PROJECT_SOURCE_DIR}/src/map/MapControlLoader.cpp
)
target_include_directories(player_ui PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}
  ${PROJECT_SOURCE_DIR}/mvx/include)
target_link_libraries(player_ui PUBLIC player_model telvika_automation player_images Qt6::Widgets Qt6::Xml)
telvika_warnings(player_ui)

add_executable(telvika-player ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(telvika-player PRIVATE player_ui)
telvika_warnings(telvika-player)

# The same window driven unattended, for the demo on a machine without a display.
add_executable(telvika-player-demo ${CMAKE_CURRENT_SOURCE_DIR}/demo_run.cpp)
target_link_libraries(telvika-player-demo PRIVATE player_ui)
telvika_warnings(telvika-player-demo)
# The map control is loaded at run time, never linked; build it with the player when it exists.
if(TARGET mvx)
  add_dependencies(telvika-player mvx)
endif()
if(TARGET telvika-server)
  add_dependencies(telvika-player telvika-server)
endif()
