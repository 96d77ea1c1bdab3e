# The Windows form of the module: KolmaraPro.8bf, a DLL whose only export is PluginMain, with
# its resources compiled in by windres and the GCC runtime linked statically, so that it needs
# nothing beside it but the system's own DLLs.
enable_language(RC)
if(TARGET KolmaraPro)
  set_target_properties(KolmaraPro PROPERTIES SUFFIX ".8bf")
  # The ELF version script of the Linux module has no meaning for a PE file; the definition
  # file says the same: PluginMain and nothing else. A DLL that names its exports exports
  # nothing else, so no module symbol leaks.
  get_target_property(link_options KolmaraPro LINK_OPTIONS)
  list(FILTER link_options EXCLUDE REGEX "version-script")
  set_target_properties(KolmaraPro PROPERTIES LINK_OPTIONS "${link_options}")
  target_sources(KolmaraPro PRIVATE ${CMAKE_SOURCE_DIR}/platform/win32/KolmaraPro.def
                                    ${KOLMARA_RC_SCRIPT})
  set_source_files_properties(${KOLMARA_RC_SCRIPT} PROPERTIES GENERATED TRUE)
  target_link_options(KolmaraPro PRIVATE -static-libgcc -static-libstdc++ -static)
endif()
