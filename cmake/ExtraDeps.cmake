# Libraries of the output layer beyond those of the render layer: FFmpeg for
# AVI movies, OpenEXR for .exr pictures and SimpleIni (header only) for the
# settings file.
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
pkg_check_modules(OPENEXR REQUIRED IMPORTED_TARGET OpenEXR)
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)

if(TARGET velmora_output)
  target_link_libraries(velmora_output PUBLIC PkgConfig::FFMPEG PkgConfig::OPENEXR)
  target_include_directories(velmora_output SYSTEM PUBLIC ${SIMPLEINI_INCLUDE_DIR})
endif()
