# Build helpers shared by every folder.
#
# Each device-library module is a static, position-independent library `dv_<name>` built from the
# sources of its folder; libDravnik.so is the whole-archive union of them. Tests link the modules they
# exercise directly, so a module's tests build without the rest of the library and can reach its
# internal functions.

set(SELVARK_DV_MODULES "" CACHE INTERNAL "device-library modules")

# dv_module(<name> [DEPS <module targets or libraries>...])
function(dv_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT srcs)
    return()
  endif()
  add_library(dv_${name} STATIC ${srcs})
  target_include_directories(dv_${name}
    PUBLIC ${PROJECT_SOURCE_DIR}/devlib/include
    PRIVATE ${PROJECT_SOURCE_DIR}/devlib)
  target_compile_definitions(dv_${name} PRIVATE DRAVNIK_BUILD)
  if(ARG_DEPS)
    target_link_libraries(dv_${name} PUBLIC ${ARG_DEPS})
  endif()
  set(SELVARK_DV_MODULES ${SELVARK_DV_MODULES} dv_${name} CACHE INTERNAL "device-library modules")
endfunction()

# selvark_test(<target> LABEL <label> LIBS <libs>... [SOURCES <files>...])
# Without SOURCES every *.cpp of the current folder is taken.
function(selvark_test target)
  cmake_parse_arguments(ARG "" "LABEL" "LIBS;SOURCES" ${ARGN})
  if(ARG_SOURCES)
    set(srcs ${ARG_SOURCES})
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/devlib ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_LABEL}
    ENVIRONMENT "SELVARK_SOURCE_DIR=${PROJECT_SOURCE_DIR};SELVARK_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
