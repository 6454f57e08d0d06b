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
    # One value per property: a list would be split into property names by the discovery script.
    ENVIRONMENT "SELVARK_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    ENVIRONMENT_MODIFICATION "SELVARK_BINARY_DIR=set:${PROJECT_BINARY_DIR}")
endfunction()

# selvark_fuzz(<name> SOURCE <file> CORPUS <dir> [LIBS <libs>...])
#
# A fuzz target for a decoder of outside input. <file> defines
#   extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
# whose only promise on garbage is "a result or an error, never a crash" (assert the invariants that
# hold on any input: terminated outputs, counts within their sizes). <dir> is its seed corpus, one
# input per file; add every input a fuzzing run saves there, so it runs as a regression case.
#  - Always: `<name>_corpus`, the source with a small standalone main (tests/fuzz/corpus_main.cpp) that
#    runs every file of the corpus through the entry point, registered as the CTest test
#    `fuzz.<name>` with label `fuzz`. It builds with the project's flags, so under
#    -DSELVARK_SANITIZE=ON the corpus runs under ASan and UBSan with gcc.
#  - With -DSELVARK_FUZZ=ON and clang: `<name>`, a real libFuzzer binary (-fsanitize=fuzzer). For
#    coverage inside the libraries too, configure with -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link.
#    Explore by hand, e.g. `<build>/tests/fuzz/charset/<name> -max_total_time=300 <corpus copy>`.
function(selvark_fuzz name)
  cmake_parse_arguments(ARG "" "SOURCE;CORPUS" "LIBS" ${ARGN})
  if(NOT ARG_SOURCE OR NOT ARG_CORPUS)
    message(FATAL_ERROR "selvark_fuzz(${name}): SOURCE and CORPUS are required")
  endif()
  get_filename_component(src ${ARG_SOURCE} ABSOLUTE)
  get_filename_component(corpus ${ARG_CORPUS} ABSOLUTE)

  add_executable(${name}_corpus ${src} ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus_main.cpp)
  target_include_directories(${name}_corpus PRIVATE ${PROJECT_SOURCE_DIR}/devlib ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name}_corpus PRIVATE ${ARG_LIBS})
  add_test(NAME fuzz.${name} COMMAND ${name}_corpus ${corpus})
  set_tests_properties(fuzz.${name} PROPERTIES LABELS fuzz)

  if(SELVARK_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_executable(${name} ${src})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/devlib ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
endfunction()
