# Per-target settings: warnings and, when asked for, the sanitizers. Nothing here is global.
# The product's own code also refuses implicit narrowing and shadowed names (a change of sign
# alone is left to the reader, as gcc does in C++); TEST leaves those out for tests and
# benchmarks, whose frameworks' macros shadow names of their own.
function(lanzhou_configure_target target)
  cmake_parse_arguments(ARG "TEST" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-unused-parameter)
  if(NOT ARG_TEST)
    target_compile_options(${target} PRIVATE -Wconversion -Wno-sign-conversion -Wshadow)
  endif()
  if(LANZHOU_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(LANZHOU_SANITIZE)
    # -O1 as the sanitizers advise: unoptimised, the suite's large inputs take many times longer.
    target_compile_options(${target} PRIVATE -O1 -fsanitize=address,undefined
                                             -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all)
  endif()
endfunction()

# A static library for one source folder. Sources are every .cpp in the folder (not below).
function(lanzhou_add_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  lanzhou_configure_target(${target})
endfunction()

# A GoogleTest executable registered with CTest, one CTest entry per TEST.
#   lanzhou_add_test(text_test SOURCES a_test.cpp ... LIBS lanzhou_text [GUI])
# GUI tests run on the offscreen platform and bring their own main() creating a QApplication.
function(lanzhou_add_test target)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  if(ARG_GUI)
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock Qt6::Test)
  else()
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  lanzhou_configure_target(${target} TEST)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()

# The rooms each source folder may use besides itself: the direction of dependencies drawn in
# docs/architecture.md. A lower room never uses a higher one.
set(LANZHOU_USES_text "")
set(LANZHOU_USES_io text)
set(LANZHOU_USES_run io text)
set(LANZHOU_USES_ui io text)
set(LANZHOU_USES_ui_qt ui io text)
set(LANZHOU_USES_pages run ui io text)
set(LANZHOU_USES_json text)
set(LANZHOU_USES_cli pages run ui io text)
set(LANZHOU_USES_app pages json ui_qt run ui io text)

# Stops the configure when a room's library links, or one of its files includes, a room it may
# not use. Run once all targets exist; the includes are read as the configure runs, so CI,
# which configures afresh, sees every one.
function(lanzhou_check_rooms)
  set(problems "")
  foreach(room text io run ui ui_qt pages json cli app)
    if(NOT TARGET lanzhou_${room})
      continue()
    endif()
    set(allowed ${room} ${LANZHOU_USES_${room}})
    get_target_property(links lanzhou_${room} LINK_LIBRARIES)
    foreach(link IN LISTS links)
      if(link MATCHES "^lanzhou_(.+)$" AND NOT CMAKE_MATCH_1 IN_LIST allowed)
        string(APPEND problems "  lanzhou_${room} links ${link}\n")
      endif()
    endforeach()
    string(REPLACE "_" "/" folder ${room})
    file(GLOB files ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
         ${PROJECT_SOURCE_DIR}/${folder}/*.inc)
    foreach(file IN LISTS files)
      file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
      foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" path "${line}")
        string(REGEX REPLACE "^(ui/qt|[^/]+)/.*$" "\\1" used "${path}")
        string(REPLACE "/" "_" used "${used}")
        if(NOT used IN_LIST allowed)
          file(RELATIVE_PATH name ${PROJECT_SOURCE_DIR} ${file})
          string(APPEND problems "  ${name} includes \"${path}\"\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    message(FATAL_ERROR "A room uses one it may not (see docs/architecture.md):\n${problems}")
  endif()
endfunction()
