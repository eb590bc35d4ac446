# Per-target settings: warnings and, when asked for, the sanitizers. Nothing here is global.
function(lanzhou_configure_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(LANZHOU_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
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
  lanzhou_configure_target(${target})
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
endfunction()
