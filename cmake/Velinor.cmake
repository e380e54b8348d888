# Shared build settings and the helpers every folder uses.

set(VELINOR_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(VELINOR_WERROR)
  list(APPEND VELINOR_WARNINGS -Werror)
endif()

if(BUILD_FUZZ)
  # Coverage in every library, so that the fuzz targets see the parsers they drive.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(VELINOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# velinor_module(NAME [DEPS targets...])
# One core library per source folder: every .cpp below the folder is part of it.
function(velinor_module name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(target velinor_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${target} PRIVATE ${VELINOR_WARNINGS})
    target_link_libraries(${target} PUBLIC ${M_DEPS} Threads::Threads)
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} INTERFACE ${M_DEPS} Threads::Threads)
  endif()
endfunction()

# velinor_tests(NAME [DEPS targets...])
# One test program per test folder, mirroring src/. Every .cpp in the folder is a test source.
# Tests pin the time zone and the locale so that dates and texts never depend on the machine.
function(velinor_tests name)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${name})
  add_executable(${target} ${sources})
  target_compile_options(${target} PRIVATE ${VELINOR_WARNINGS})
  target_link_libraries(${target} PRIVATE ${M_DEPS} velinor_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${target}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS unit ENVIRONMENT "TZ=Europe/Paris;LC_ALL=C.UTF-8")
endfunction()
