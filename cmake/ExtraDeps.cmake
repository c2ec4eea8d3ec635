# Libraries of the output layer beyond those of the render layer: FFmpeg for
# AVI movies and SimpleIni (header only) for the settings file.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)

if(TARGET velmora_output)
  target_link_libraries(velmora_output PUBLIC PkgConfig::FFMPEG)
  target_include_directories(velmora_output SYSTEM PUBLIC ${SIMPLEINI_INCLUDE_DIR})
endif()
