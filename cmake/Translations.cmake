# The core's message catalogue: po/LANG.po compiled with msgfmt into
# locale/LANG/LC_MESSAGES/velmora.mo beside the programs in the build tree,
# and installed under share/locale, where the programs look for it.
find_program(MSGFMT_PROGRAM msgfmt REQUIRED)
include(GNUInstallDirs)

file(GLOB velmora_po_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/po/*.po)
set(velmora_mo_files "")
foreach(po IN LISTS velmora_po_files)
  get_filename_component(lang ${po} NAME_WE)
  set(mo ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES/velmora.mo)
  add_custom_command(OUTPUT ${mo}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/locale/${lang}/LC_MESSAGES
    COMMAND ${MSGFMT_PROGRAM} --check -o ${mo} ${po}
    DEPENDS ${po}
    COMMENT "Compiling the ${lang} message catalogue")
  install(FILES ${mo} DESTINATION ${CMAKE_INSTALL_LOCALEDIR}/${lang}/LC_MESSAGES)
  list(APPEND velmora_mo_files ${mo})
endforeach()
add_custom_target(velmora_catalogues ALL DEPENDS ${velmora_mo_files})
