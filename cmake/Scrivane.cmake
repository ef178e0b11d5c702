# Helpers shared by every folder's CMakeLists.

# Warnings are errors in the test build; optimised builds of GCC 12 warn falsely (restrict, array bounds).
set(SCRIVANE_WARNINGS -Wall -Wextra $<$<CONFIG:Debug>:-Werror>)

# scrivane_library(<target> SOURCES <files...> [DEPS <targets...>] [PRIVATE_DEPS <targets...>])
# One static library per folder; headers are included by their path from the project root
# ("platform/rtl/SysUtils.h").
function(scrivane_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE ${SCRIVANE_WARNINGS})
    target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    # A folder whose code has not been written yet still has its place in the layers.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# scrivane_test(<name> SOURCES <files...> DEPS <targets...>)
# A GoogleTest executable registered with CTest; every test runs headless in a prefix of its own.
function(scrivane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${SCRIVANE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} scrivane_testmain GTest::gtest GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# Form resources embedded into targets.
include(${CMAKE_CURRENT_LIST_DIR}/EmbedResources.cmake)
