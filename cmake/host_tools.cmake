# The resource generators of a cross build, built for the build machine beforehand
# (scripts/build-windows.sh builds them into build-windows/native and passes that folder as
# KOLMARA_HOST_TOOLS). They are imported under the names the native build gives them, so the
# rules that run them are the same in both builds.
if(NOT KOLMARA_HOST_TOOLS)
  message(FATAL_ERROR "A cross build needs KOLMARA_HOST_TOOLS: a native build folder with rescomp and piplgen")
endif()
foreach(tool rescomp piplgen)
  set(location ${KOLMARA_HOST_TOOLS}/tools/${tool}/${tool})
  if(NOT EXISTS ${location})
    message(FATAL_ERROR "${location} is missing: build the target ${tool} in ${KOLMARA_HOST_TOOLS} first")
  endif()
  add_executable(${tool} IMPORTED GLOBAL)
  set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${location})
endforeach()
