# telvika_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [LABEL <label>] [TIMEOUT <s>]
#                  [POSTGRES])
#
# Every test is added the same way: one Qt Test executable, registered with CTest, run with the
# offscreen platform plugin and the C locale in the environment (tests that need a locale pin it with
# QLocale::setDefault), with the user's configuration folder (QSettings) inside the build tree, so
# that no test reads or writes the preferences of the person running it, labelled after its component.
# POSTGRES runs it inside a throwaway PostgreSQL cluster of its own (tests/support/with-postgres).
function(telvika_add_test)
  cmake_parse_arguments(T "POSTGRES" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_NAME OR NOT T_SOURCES)
    message(FATAL_ERROR "telvika_add_test needs NAME and SOURCES")
  endif()
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    TELVIKA_BIN_DIR="${TELVIKA_BIN_DIR}"
    TELVIKA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  telvika_warnings(${T_NAME})
  if(T_POSTGRES)
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/with-postgres $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS "${T_LABEL}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/tests/config")
endfunction()
