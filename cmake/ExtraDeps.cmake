# Libraries of the output layer beyond those of the render layer: SimpleIni
# (header only) for the settings file, libtiff and OpenEXR for those
# pictures, and FFmpeg for AVI movies.  FFmpeg, libtiff and OpenEXR are
# linked only into modules of their own (libvelmora-movie.so,
# libvelmora-images.so), which the program loads the first time it writes or
# reads such a file (base/Module.h), so a program that writes none never
# loads them.
include(GNUInstallDirs)
pkg_check_modules(FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libavutil libswscale)
pkg_check_modules(OPENEXR REQUIRED IMPORTED_TARGET OpenEXR)
# libwebp's animation decoder: the player shows animated WebP, which FFmpeg 5
# does not decode.
pkg_check_modules(WEBPDEMUX REQUIRED IMPORTED_TARGET libwebpdemux)
find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)

# A module NAME (file libNAME.so) from SOURCES with private copies of the few
# core sources they use (COPIES); it links LIBS.  Only its entry point is
# exported, so those copies never meet the core's own.  Their messages go
# through the process's one gettext state, so they speak the program's
# language.  It is installed in the library folder the loader looks in.
function(velmora_add_module target name)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;COPIES;LIBS")
  set(copies "")
  foreach(src IN LISTS arg_COPIES)
    list(APPEND copies ${CMAKE_SOURCE_DIR}/${src})
  endforeach()
  add_library(${target} SHARED ${arg_SOURCES} ${copies})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name}
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  foreach(layer IN ITEMS base render output)
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/layers/${layer})
  endforeach()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE ${arg_LIBS})
  target_link_options(${target} PRIVATE -Wl,--no-undefined)
  install(TARGETS ${target} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velmora)
  # Every module, for the programs that find them beside them.
  set_property(GLOBAL APPEND PROPERTY VELMORA_MODULES ${target})
endfunction()

if(TARGET velmora_output)
  target_link_libraries(velmora_base PUBLIC ${CMAKE_DL_LIBS})
  target_compile_definitions(velmora_base PRIVATE
    VELMORA_MODULE_DIR="${CMAKE_INSTALL_LIBDIR}/velmora")
  target_include_directories(velmora_output SYSTEM PUBLIC ${SIMPLEINI_INCLUDE_DIR})
  # The TIFF tag values and pixel macros only: libtiff is in the image module.
  target_include_directories(velmora_output SYSTEM PRIVATE
    $<TARGET_PROPERTY:TIFF::TIFF,INTERFACE_INCLUDE_DIRECTORIES>)

  # The AVI encoder and the movie player.
  file(GLOB movie_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/output/movie/*.cpp)
  velmora_add_module(velmora_movie velmora-movie SOURCES ${movie_sources}
    COPIES base/ReplaceFile.cpp base/FileName.cpp base/Translate.cpp base/ProgramFiles.cpp
    LIBS PkgConfig::FFMPEG PkgConfig::WEBPDEMUX)
  # The TIFF and OpenEXR codecs.
  file(GLOB images_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/output/images/*.cpp)
  velmora_add_module(velmora_images velmora-images SOURCES ${images_sources}
    COPIES base/Translate.cpp base/ProgramFiles.cpp
    LIBS TIFF::TIFF PkgConfig::OPENEXR)
endif()

# A program built outside the build folder's top (the window, the tests, the
# benchmarks) finds the modules through links beside it, as the command line
# finds the modules themselves beside it: one link per module and folder,
# made before any program of that folder is linked.
function(velmora_modules_beside target)
  set(folder ${CMAKE_CURRENT_BINARY_DIR})
  get_property(modules GLOBAL PROPERTY VELMORA_MODULES)
  foreach(module IN LISTS modules)
    string(MAKE_C_IDENTIFIER "${module}_link_${folder}" link)
    if(NOT TARGET ${link})
      add_custom_target(${link}
        COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${module}>
                ${folder}/$<TARGET_FILE_NAME:${module}>
        VERBATIM)
      add_dependencies(${link} ${module})
    endif()
    add_dependencies(${target} ${link})
  endforeach()
endfunction()
