# Common compile settings and helpers for every target of the tree.

if(CORVINA_SANITIZE)
  list(JOIN CORVINA_SANITIZE "," _corvina_san)
  add_compile_options(-fsanitize=${_corvina_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_corvina_san})
endif()

if(CORVINA_FUZZ)
  # Instrument every library for coverage; only fuzz targets link the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(CORVINA_COVERAGE)
  # No optimisation, so that every line and branch gcov reports is one in the source.
  # Atomic counters: the worker and reader threads run the same lines, and torn
  # counts make gcov print records it cannot parse.
  add_compile_options(--coverage -fprofile-update=atomic -O0)
  add_link_options(--coverage)
endif()

# Bounds-checked standard containers wherever we test: ASan cannot see a read into
# a vector's spare capacity, the library assertions can.
if(CORVINA_FUZZ OR CORVINA_SANITIZE)
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
else()
  add_compile_definitions($<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
endif()

# windows.h must not define min/max macros (they break std::min) nor pull in the
# old Winsock 1 header ahead of winsock2.h.
if(WIN32)
  add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)
endif()

# Warnings for our own targets; third-party headers are included as system headers.
function(corvina_target_defaults target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${CORVINA_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${CORVINA_WERROR}>:-Werror>)
  endif()
endfunction()

# corvina_library(name SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per module; headers are included as "<module>/<file>.h".
function(corvina_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  corvina_target_defaults(${name})
endfunction()

# corvina_test(name SOURCES ... DEPS ... [LABELS ...] [TIMEOUT s] [PROPERTIES ...])
# One GoogleTest executable; each test case becomes its own ctest test, with
# the extra test PROPERTIES given.
function(corvina_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;DEPS;LABELS;PROPERTIES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} test_main GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  corvina_target_defaults(${name})
  # Discovery splits every list into separate words, so the labels travel as
  # one (ctest -L matches a part of it just the same).
  string(REPLACE ";" "," labels "${ARG_LABELS}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
endfunction()

# corvina_fuzzer(name SOURCE file DEPS ...): a libFuzzer target whose seed corpus
# lives in fuzz/corpus/<name>/.
function(corvina_fuzzer name)
  cmake_parse_arguments(ARG "" "SOURCE" "DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCE})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
  corvina_target_defaults(${name})
  set_property(GLOBAL APPEND PROPERTY CORVINA_FUZZERS ${name})
endfunction()

# corvina_benchmark(name SOURCES ... DEPS ...)
function(corvina_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} bench_main benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/benchmarks)
  add_dependencies(benchmarks ${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/bench)
  corvina_target_defaults(${name})
endfunction()
