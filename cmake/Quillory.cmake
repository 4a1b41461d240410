# Build conventions shared by every module.

# Warnings become errors in the presets (CMAKE_COMPILE_WARNING_AS_ERROR), not here, so that a
# newer compiler's new warnings do not break a plain build on a user's machine.
set(QUILLORY_WARNINGS -Wall -Wextra -Wpedantic -Wno-missing-field-initializers -Wshadow
    -Wnon-virtual-dtor -Woverloaded-virtual -Wconversion -Wsign-conversion)
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${QUILLORY_WARNINGS}>")

if(QUILLORY_SANITIZER STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
  if(QUILLORY_FUZZ)
    # Coverage feedback for the fuzzers reaches into every library they link.
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
elseif(QUILLORY_SANITIZER STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QUILLORY_SANITIZER)
  message(FATAL_ERROR "QUILLORY_SANITIZER must be empty, address or thread")
endif()

# Tests of one build are named "<build>.<name>" so that one CTest run can cover every build.
if(QUILLORY_SANITIZER STREQUAL "address")
  set(QUILLORY_TEST_PREFIX "asan.")
elseif(QUILLORY_SANITIZER STREQUAL "thread")
  set(QUILLORY_TEST_PREFIX "tsan.")
else()
  set(QUILLORY_TEST_PREFIX "")
endif()

# What every test that runs GStreamer needs: its own plugin registry per build, and in sanitizer
# builds the reports that lie inside GStreamer, GLib and libnice themselves left out.
set(QUILLORY_GSTREAMER_TEST_ENVIRONMENT "GST_REGISTRY=${CMAKE_BINARY_DIR}/gstreamer-registry.bin")
if(QUILLORY_SANITIZER)
  # GLib's slice allocator recycles memory among threads behind the sanitizers' back; with
  # malloc they see each block's life.
  list(APPEND QUILLORY_GSTREAMER_TEST_ENVIRONMENT "G_SLICE=always-malloc")
endif()
# The suppressions' paths are quoted: a checkout's path may hold spaces.
if(QUILLORY_SANITIZER STREQUAL "address")
  # GLib is built without frame pointers: only the slow unwinder sees who allocated inside it.
  list(APPEND QUILLORY_GSTREAMER_TEST_ENVIRONMENT
    "ASAN_OPTIONS=fast_unwind_on_malloc=0"
    "LSAN_OPTIONS=suppressions='${PROJECT_SOURCE_DIR}/tests/sanitizers/gstreamer-lsan.supp'")
elseif(QUILLORY_SANITIZER STREQUAL "thread")
  list(APPEND QUILLORY_GSTREAMER_TEST_ENVIRONMENT
    "TSAN_OPTIONS=suppressions='${PROJECT_SOURCE_DIR}/tests/sanitizers/gstreamer-tsan.supp'")
endif()

# quillory_library(<name> [QT] SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# In sanitizer builds libraries are built only when a test needs them.
function(quillory_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  if(QUILLORY_SANITIZER)
    add_library(${name} STATIC EXCLUDE_FROM_ALL ${L_SOURCES})
  else()
    add_library(${name} STATIC ${L_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE ${L_PRIVATE_DEPS})
endfunction()

# quillory_generated_qml_warnings(<target>): the code qmlcachegen writes for a QML module reuses
# its parameter names in nested scopes and narrows sizes; our warnings are off for it.
function(quillory_generated_qml_warnings target)
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "/\\.rcc/qmlcache/")
  set_source_files_properties(${sources} TARGET_DIRECTORY ${target} PROPERTIES
    COMPILE_OPTIONS "-Wno-shadow;-Wno-conversion;-Wno-sign-conversion")
endfunction()

# quillory_testing_library(<name> [SOURCES ...] [DEPS ...]): a module's fakes, in its testing/
# folder, named "<module target>_testing". Only tests, benchmarks, fuzzers and the test host link
# it, so it is built only when one of them needs it.
function(quillory_testing_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  if(L_SOURCES)
    add_library(${name} STATIC EXCLUDE_FROM_ALL ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${L_DEPS})
  endif()
endfunction()

# quillory_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [THREADS] [DEFAULT_ONLY]
#               [COMMAND ...] [TIMEOUT s])
# THREADS marks tests that also run under ThreadSanitizer; DEFAULT_ONLY keeps a test out of
# sanitizer builds (tests of services or of whole processes).
function(quillory_test name)
  cmake_parse_arguments(T "THREADS;DEFAULT_ONLY" "TIMEOUT" "SOURCES;LIBS;LABELS;COMMAND;ENVIRONMENT" ${ARGN})
  if(QUILLORY_SANITIZER STREQUAL "thread" AND NOT T_THREADS)
    return()
  endif()
  if(QUILLORY_SANITIZER AND T_DEFAULT_ONLY)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  # Test code gains little from -O2 and compiles a fifth faster without it.
  if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
    target_compile_options(${name} PRIVATE -O1)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT QUILLORY_SANITIZER)
    # Exported symbols give the crash trace its function names.
    target_link_libraries(${name} PRIVATE test_crash_trace)
    set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  endif()
  if(T_COMMAND)
    set(command ${T_COMMAND})
  else()
    set(command ${name})
  endif()
  add_test(NAME ${QUILLORY_TEST_PREFIX}${name} COMMAND ${command})
  set(labels unit ${T_LABELS})
  if(T_THREADS)
    list(APPEND labels threads)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${QUILLORY_TEST_PREFIX}${name} PROPERTIES
    LABELS "${labels}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${T_ENVIRONMENT}")
endfunction()

# quillory_fuzz(<name> SOURCES ... [LIBS ...]): a libFuzzer target run for QUILLORY_FUZZ_SECONDS.
function(quillory_fuzz name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT QUILLORY_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  file(MAKE_DIRECTORY ${corpus})
  set(seeds)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.seeds)
    set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/${name}.seeds)
  endif()
  add_test(NAME ${QUILLORY_TEST_PREFIX}fuzz.${name}
    COMMAND ${name} -max_total_time=${QUILLORY_FUZZ_SECONDS} -rss_limit_mb=2048 -print_final_stats=1
            ${corpus} ${seeds})
  math(EXPR timeout "${QUILLORY_FUZZ_SECONDS} + 120")
  set_tests_properties(${QUILLORY_TEST_PREFIX}fuzz.${name} PROPERTIES LABELS fuzz TIMEOUT ${timeout})
endfunction()

# quillory_benchmark(<name> SOURCES ... [LIBS ...]): built in the default build only.
function(quillory_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  if(QUILLORY_SANITIZER)
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# quillory_keyring_test(<name> SOURCES ... LIBS ...): a default-build test against the test
# services' unlocked keyring; its LockedKeyring.* cases run once more in a session whose keyring
# stays locked.
function(quillory_keyring_test name)
  quillory_test(${name} ${ARGN} DEFAULT_ONLY)
  if(NOT TARGET ${name})
    return()
  endif()
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK keyring)
  add_test(NAME ${name}_locked
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-test-services --keyring=locked --
            env QUILLORY_EXPECT_LOCKED_KEYRING=1 $<TARGET_FILE:${name}> --gtest_filter=LockedKeyring.*)
  set_tests_properties(${name}_locked PROPERTIES LABELS "unit;services" TIMEOUT 120)
endfunction()
