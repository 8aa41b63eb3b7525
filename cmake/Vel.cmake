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

# Targets whose float arithmetic must round as written at every level of
# VEL_X86_LEVEL: a multiply and an add are never fused into one instruction.
function(vel_no_fp_contract)
  foreach(_t ${ARGN})
    target_compile_options(${_t} PRIVATE -ffp-contract=off)
  endforeach()
endfunction()

# Sets OUT to whether this processor runs code built for the x86-64 level
# (x86-64-v3: AVX2, FMA, BMI2 among others): a small program built for it
# must run and find those features. False when cross-compiling.
function(vel_runs_x86_level level out)
  set(_src ${CMAKE_BINARY_DIR}/VelRunsLevel.cpp)
  file(WRITE ${_src} "int main() {\n"
       "  __builtin_cpu_init();\n"
       "  return __builtin_cpu_supports(\"avx2\") && __builtin_cpu_supports(\"fma\") &&\n"
       "         __builtin_cpu_supports(\"bmi2\") ? 0 : 1;\n"
       "}\n")
  try_run(_ran _built ${CMAKE_BINARY_DIR}/VelRunsLevel ${_src}
          COMPILE_DEFINITIONS -march=${level})
  if(_built AND "${_ran}" STREQUAL "0")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# vel_level_tests(LIB TESTS file... FILTER gtest-filter [SOURCES file...])
# Where this processor runs x86-64-v3, a level with fused multiply-adds the
# compiler uses when optimising, builds LIB's SOURCES (all of them by
# default) once more for that level, optimised in every build type and with
# LIB's own compile options and links, and runs FILTER of the TESTS against
# that copy as "x86-64-v3.*": float results that reach saved scenes or
# pictures must round the same at every level.
function(vel_level_tests lib)
  cmake_parse_arguments(VL "" "FILTER" "TESTS;SOURCES" ${ARGN})
  if(NOT CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$" OR NOT TARGET ${lib}_tests)
    return()
  endif()
  if(NOT DEFINED CACHE{VEL_RUNS_X86_64_V3})
    vel_runs_x86_level(x86-64-v3 _runs)
    set(VEL_RUNS_X86_64_V3 ${_runs} CACHE INTERNAL "This processor runs x86-64-v3 code")
  endif()
  if(NOT VEL_RUNS_X86_64_V3)
    return()
  endif()
  if(NOT VL_SOURCES)
    get_target_property(VL_SOURCES ${lib} SOURCES)
  endif()
  set(_copy ${lib}_x86v3)
  add_library(${_copy} STATIC ${VL_SOURCES})
  target_include_directories(${_copy} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(_p CXX_VISIBILITY_PRESET VISIBILITY_INLINES_HIDDEN)
    get_target_property(_v ${lib} ${_p})
    if(_v)
      set_target_properties(${_copy} PROPERTIES ${_p} ${_v})
    endif()
  endforeach()
  get_target_property(_links ${lib} LINK_LIBRARIES)
  if(_links)
    target_link_libraries(${_copy} PUBLIC ${_links})
  endif()
  get_target_property(_options ${lib} COMPILE_OPTIONS)
  if(_options)
    target_compile_options(${_copy} PRIVATE ${_options})
  endif()
  target_compile_options(${_copy} PRIVATE -march=x86-64-v3 -O2)
  add_executable(${_copy}_tests ${VL_TESTS})
  target_link_libraries(${_copy}_tests PRIVATE ${_copy} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${_copy}_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "x86-64-v3."
                       TEST_FILTER "${VL_FILTER}" WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
