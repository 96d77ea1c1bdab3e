# What an installation holds (cmake --install; scripts/package.sh builds the Debian package from
# it, with the prefix /usr):
#   bin/filterhost, bin/kolmara-prefs
#   lib/gimp/2.0/plug-ins/kolmara-gimp/   the GIMP plug-in and the module KolmaraPro.so beside it,
#                                         where the plug-in loads it and filterhost finds it
#   share/man/man1/                       the manual pages
#   share/kolmara-pro/user-guide/         the user guide, with two links to it: user-guide/
#                                         beside the module, where the help window opens it, and
#                                         share/doc/kolmara-pro/user-guide for people looking for
#                                         it among the documentation
# The guide lives outside share/doc because the help window needs it and a system may leave
# share/doc out (Debian's path-exclude); the links are relative, so an installation unpacked
# under another root points into itself.
set(kolmara_plugin_dir ${KOLMARA_GIMP_PLUGIN_DIR}/kolmara-gimp)
set(kolmara_guide_dir ${CMAKE_INSTALL_DATADIR}/kolmara-pro/user-guide)
set(kolmara_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kolmara-pro)

foreach(tool filterhost kolmara-prefs)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_SOURCE_DIR}/docs/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()
if(TARGET kolmara-gimp)
  install(TARGETS kolmara-gimp RUNTIME DESTINATION ${kolmara_plugin_dir})
endif()
if(TARGET KolmaraPro)
  # A module is loaded, never run: no execute bits.
  install(TARGETS KolmaraPro LIBRARY DESTINATION ${kolmara_plugin_dir}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
if(TARGET user_guide)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/user-guide/ DESTINATION ${kolmara_guide_dir})
  # The links are made here and installed as links.
  set(links ${CMAKE_BINARY_DIR}/install-links)
  foreach(place plugin doc)
    file(RELATIVE_PATH target /${kolmara_${place}_dir} /${kolmara_guide_dir})
    file(MAKE_DIRECTORY ${links}/${place})
    file(REMOVE ${links}/${place}/user-guide)
    file(CREATE_LINK ${target} ${links}/${place}/user-guide SYMBOLIC)
    install(FILES ${links}/${place}/user-guide DESTINATION ${kolmara_${place}_dir})
  endforeach()
endif()
