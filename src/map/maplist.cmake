# The map list: the file logic (Qt Core only, tested directly) and the window's routines with the
# map list dialog.
add_library(player_maplist STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/IniDocument.h ${CMAKE_CURRENT_SOURCE_DIR}/IniDocument.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapListFile.h ${CMAKE_CURRENT_SOURCE_DIR}/MapListFile.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/MapLoadMessage.h ${CMAKE_CURRENT_SOURCE_DIR}/MapLoadMessage.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/FileDialogFilter.h ${CMAKE_CURRENT_SOURCE_DIR}/FileDialogFilter.cpp
)
target_include_directories(player_maplist PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(player_maplist PUBLIC telvika_common Qt6::Core)
telvika_warnings(player_maplist)

target_sources(player_ui PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/TForm1MapList.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/TMapEditForm.h ${CMAKE_CURRENT_SOURCE_DIR}/TMapEditForm.cpp
)
target_link_libraries(player_ui PUBLIC player_maplist)
