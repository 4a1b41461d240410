# quillory-media: libavcodec and GStreamer, with the tens of libraries they bring, in a module that
# quillory loads on its first Studio stream (app/studio/studio_media_module.h). It holds the
# objects of the media libraries and nothing else of ours: what else of ours it calls, quillory
# defines and exports to it, so that the process keeps one of each (queues, loggers, clocks).
# Tests and benchmarks link those libraries as before.
include(GNUInstallDirs)
set(QUILLORY_MEDIA_MODULE_NAME quillory-media.so)
set(QUILLORY_MEDIA_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/quillory)
# Installed, the module is found from the executable's folder; relative, so that --prefix moves it.
file(RELATIVE_PATH QUILLORY_MEDIA_MODULE_FROM_BINARY
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/quillory)

add_library(quillory-media MODULE
  ${PROJECT_SOURCE_DIR}/app/studio/studio_media_module_entry.cpp
  $<TARGET_OBJECTS:studio_libav> $<TARGET_OBJECTS:media_transport> $<TARGET_OBJECTS:media_codecs>
  $<TARGET_OBJECTS:platform_video_codecs> $<TARGET_OBJECTS:platform_webrtc_gstreamer>)
# Beside quillory in the build tree (this file is included from app/), where quillory looks first.
set_target_properties(quillory-media PROPERTIES PREFIX "" SUFFIX ""
  OUTPUT_NAME ${QUILLORY_MEDIA_MODULE_NAME}
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(quillory-media PRIVATE ${PROJECT_SOURCE_DIR})
install(TARGETS quillory-media LIBRARY DESTINATION ${QUILLORY_MEDIA_MODULE_DIR})
target_link_libraries(quillory-media PRIVATE
  PkgConfig::LIBAV PkgConfig::GST_WEBRTC ${LIBYUV_LIBRARY} Threads::Threads)

target_compile_definitions(studio_qt PRIVATE
  QUILLORY_MEDIA_MODULE_NAME="${QUILLORY_MEDIA_MODULE_NAME}"
  QUILLORY_MEDIA_MODULE_FROM_BINARY="${QUILLORY_MEDIA_MODULE_FROM_BINARY}")

# What of ours the module uses, read from the built module: quillory must define every symbol it
# leaves undefined (the link fails otherwise, not the first stream) and exports those and the ones
# both define weakly (inline functions' statics, vtables).
set(imports ${CMAKE_CURRENT_BINARY_DIR}/quillory-media-imports)
add_custom_command(OUTPUT ${imports}.list ${imports}.rsp
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DMODULE=$<TARGET_FILE:quillory-media>
          -DOUTPUT=${imports} -P ${PROJECT_SOURCE_DIR}/cmake/MediaModuleImports.cmake
  DEPENDS quillory-media ${PROJECT_SOURCE_DIR}/cmake/MediaModuleImports.cmake
  COMMENT "Reading what quillory-media imports from quillory")
add_custom_target(quillory-media-imports DEPENDS ${imports}.list ${imports}.rsp)
add_dependencies(quillory quillory-media-imports)
target_link_options(quillory PRIVATE "LINKER:--dynamic-list=${imports}.list" "@${imports}.rsp")
set_property(TARGET quillory APPEND PROPERTY LINK_DEPENDS ${imports}.list ${imports}.rsp)
