# What `cmake --install` puts where (GNU install directories) and the Debian
# package CPack makes of it (scripts/package): the programs, the message
# catalogues (cmake/Translations.cmake), the example projects, the desktop
# integration (menu entry, icons, the project file type, thumbnailer,
# AppStream metadata), manual pages, shell completion and documentation.
include(GNUInstallDirs)

set(VELMORA_APP_ID org.velmora.Velmora)
set(data ${CMAKE_SOURCE_DIR}/data)

file(GLOB example_projects CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.vlm)
install(FILES ${example_projects} DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/examples)

install(FILES ${data}/${VELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${VELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/velmora-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME velmora.xml)
install(FILES ${data}/velmora.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
install(FILES ${data}/icons/${VELMORA_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${data}/icons/${VELMORA_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${VELMORA_APP_ID}.png)
endforeach()
install(FILES ${data}/completion/velmora.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME velmora)
install(FILES ${data}/completion/_velmora DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
# bash-completion loads a command's completion by its name: velmora-studio's
# is a link to the file that defines both.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/data)
file(CREATE_LINK velmora ${CMAKE_BINARY_DIR}/data/velmora-studio SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/data/velmora-studio
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the Debian changelog are installed compressed, as Debian
# wants them (gzip -n: no name or time stamp, so the package is reproducible).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed "")
foreach(src man/velmora.1 man/velmora-studio.1 debian/changelog)
  get_filename_component(name ${src} NAME)
  set(gz ${CMAKE_BINARY_DIR}/data/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data
    COMMAND ${GZIP_PROGRAM} -9nc ${data}/${src} > ${gz}
    DEPENDS ${data}/${src} COMMENT "Compressing ${name}")
  list(APPEND compressed ${gz})
endforeach()
add_custom_target(velmora_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/data/velmora.1.gz ${CMAKE_BINARY_DIR}/data/velmora-studio.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/data/changelog.gz ${data}/debian/copyright ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora)

# The Debian package: one package "velmora" with both programs; dpkg-shlibdeps
# computes the libraries it depends on, so installing it pulls in what running
# needs and nothing for building or testing.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(VELMORA_DEB_MAINTAINER "Velmora developers <velmora@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${VELMORA_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "seamlessly tiling cloud patterns, stills and movies")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora synthesises seamlessly tiling cloud patterns and renders them as\n\
still pictures or movies.  Every parameter can be keyframed on a timeline;\n\
projects are saved as small programs in the tool's own stack language.\n\
This package holds the desktop application velmora-studio and the command\n\
line program velmora (renders, movies, thumbnails, cluster rendering).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)
# Where the desktop, the manual and the shell look for what the package adds.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, slurm-client")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
