# Glass to glass: our Studio sender and a plain GStreamer one against the same receiver, under a
# 1920×1080 X server (scripts/with-test-services --screen 1920x1080). Default build only.
quillory_library(glass_to_glass_support
  SOURCES glass_to_glass_measures.cpp glass_to_glass_observations.cpp glass_bench_process.cpp)
quillory_test(glass_to_glass_support_tests
  SOURCES tests/glass_to_glass_measures_test.cpp tests/glass_to_glass_observations_test.cpp
          tests/glass_bench_process_test.cpp
  LIBS glass_to_glass_support
  LABELS studio)
if(QUILLORY_SANITIZER OR NOT TARGET media_transport)
  return()
endif()
add_executable(studio_glass_to_glass_benchmark
  glass_to_glass_benchmark.cpp glass_bench_ours_sender.cpp glass_bench_plain_sender.cpp
  glass_bench_senders.cpp)
target_link_libraries(studio_glass_to_glass_benchmark PRIVATE glass_to_glass_support studio_libav
  studio_qt media_transport media_codecs platform_webrtc_gstreamer test_support_video xcb)
target_compile_definitions(studio_glass_to_glass_benchmark PRIVATE
  QUILLORY_TEST_WINDOW_PATH="$<TARGET_FILE:quillory-test-window>")
add_dependencies(studio_glass_to_glass_benchmark quillory-test-window)
