# vel_library(NAME [SHARED|STATIC] [DEPS dep...] [TEST_DEPS dep...])
# Builds every *.cpp of the calling folder except *_test.cpp into NAME, and
# every *_test.cpp into NAME_tests, registered with CTest.
function(vel_library name)
  cmake_parse_arguments(VL "SHARED;STATIC;HIDDEN" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB _all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  set(_src ${_all})
  if(_tests)
    list(REMOVE_ITEM _src ${_tests})
  endif()
  if(NOT _src)
    # A folder whose code has not landed yet.
    add_library(${name} INTERFACE)
    return()
  elseif(VL_SHARED)
    add_library(${name} SHARED ${_src})
  else()
    add_library(${name} STATIC ${_src})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  if(VL_HIDDEN)
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  endif()
  if(VL_DEPS)
    target_link_libraries(${name} PUBLIC ${VL_DEPS})
  endif()
  if(_tests)
    add_executable(${name}_tests ${_tests})
    target_link_libraries(${name}_tests PRIVATE ${name} ${VL_TEST_DEPS}
                          GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${name}_tests DISCOVERY_MODE PRE_TEST
                         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  endif()
endfunction()

# Source files (of the calling folder) built without straight-line
# vectorisation: code that reads back, float by float, a vector just stored
# by a call. Merged loads of it miss the store forwarding and stall.
function(vel_scalar_loads)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS
    "$<IF:$<CXX_COMPILER_ID:Clang>,-fno-slp-vectorize,-fno-tree-slp-vectorize>")
endfunction()
