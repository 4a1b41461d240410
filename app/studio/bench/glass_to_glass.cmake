# Glass to glass: our Studio sender and a plain GStreamer one against the same receiver, under a
# 1920×1080 X server (scripts/with-test-services --screen 1920x1080). Default build only.
quillory_library(glass_to_glass_measures SOURCES glass_to_glass_measures.cpp)
quillory_test(glass_to_glass_measures_tests
  SOURCES tests/glass_to_glass_measures_test.cpp
  LIBS glass_to_glass_measures
  LABELS studio)
if(QUILLORY_SANITIZER OR NOT TARGET media_transport)
  return()
endif()
add_executable(studio_glass_to_glass_benchmark
  glass_to_glass_benchmark.cpp glass_bench_process.cpp glass_bench_ours_sender.cpp
  glass_bench_plain_sender.cpp)
target_link_libraries(studio_glass_to_glass_benchmark PRIVATE glass_to_glass_measures studio
  media_transport media_codecs platform_webrtc_gstreamer test_support_video xcb)
target_compile_definitions(studio_glass_to_glass_benchmark PRIVATE
  QUILLORY_TEST_WINDOW_PATH="$<TARGET_FILE:quillory-test-window>")
add_dependencies(studio_glass_to_glass_benchmark quillory-test-window)
