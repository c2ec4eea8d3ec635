# Libraries of the output layer beyond those of the render layer: SimpleIni
# (header only) for the settings file, OpenEXR for .exr pictures, and FFmpeg
# for AVI movies.  FFmpeg is linked only into the movie module
# libvelmora-movie.so, which the output layer loads the first time a movie is
# written (output/MovieModule.h), so a program that writes no movie never
# loads it.
include(GNUInstallDirs)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
pkg_check_modules(OPENEXR REQUIRED IMPORTED_TARGET OpenEXR)
# libwebp's animation decoder: the player shows animated WebP, which FFmpeg 5
# does not decode.
pkg_check_modules(WEBPDEMUX REQUIRED IMPORTED_TARGET libwebpdemux)
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)

if(TARGET velmora_output)
  target_include_directories(velmora_output SYSTEM PUBLIC ${SIMPLEINI_INCLUDE_DIR})
  target_link_libraries(velmora_output PUBLIC PkgConfig::OPENEXR)
  target_link_libraries(velmora_output PUBLIC ${CMAKE_DL_LIBS})
  target_compile_definitions(velmora_output PRIVATE
    VELMORA_MOVIE_MODULE_DIR="${CMAKE_INSTALL_LIBDIR}/velmora")

  # The module: the AVI encoder and the movie player, with private copies of
  # the few core sources they use.  Only its entry point and the player class
  # are exported, so those copies never meet the core's own.  Their messages
  # go through the process's one gettext state, so they speak the program's
  # language.
  file(GLOB movie_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/output/movie/*.cpp)
  add_library(velmora_movie SHARED ${movie_sources}
    ${CMAKE_SOURCE_DIR}/base/ReplaceFile.cpp ${CMAKE_SOURCE_DIR}/base/FileName.cpp
    ${CMAKE_SOURCE_DIR}/base/Translate.cpp ${CMAKE_SOURCE_DIR}/base/ProgramFiles.cpp)
  set_target_properties(velmora_movie PROPERTIES OUTPUT_NAME velmora-movie
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  foreach(layer IN ITEMS base render output)
    target_include_directories(velmora_movie PRIVATE ${CMAKE_BINARY_DIR}/layers/${layer})
  endforeach()
  target_link_libraries(velmora_movie PRIVATE PkgConfig::FFMPEG PkgConfig::WEBPDEMUX)
  target_link_options(velmora_movie PRIVATE -Wl,--no-undefined)
  install(TARGETS velmora_movie LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velmora)
endif()

# A program built outside the build folder's top (the window, the tests, the
# benchmarks) finds the module through a link beside it, as the command line
# finds the module itself beside it: one link per folder, made before any
# program of that folder is linked.
function(velmora_movie_module_beside target)
  set(folder ${CMAKE_CURRENT_BINARY_DIR})
  string(MAKE_C_IDENTIFIER "velmora_movie_link_${folder}" link)
  if(NOT TARGET ${link})
    add_custom_target(${link}
      COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:velmora_movie>
              ${folder}/$<TARGET_FILE_NAME:velmora_movie>
      VERBATIM)
    add_dependencies(${link} velmora_movie)
  endif()
  add_dependencies(${target} ${link})
endfunction()
