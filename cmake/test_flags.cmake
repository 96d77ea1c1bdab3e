# The optimisation of the test programs' own code, for the folder that includes this file and the
# folders below it.
#
# The tests check the module's libraries, which keep the build's optimisation (-O2); what the
# test files themselves compile to only has to run. GoogleTest's assertions expand to a great
# deal of code, and at -O2 the test files were most of the build's time: a large one took
# 18.5 seconds at -O2 and 14 at -O1. The module's sources that a test program compiles in itself
# (the plug-in's entry point) are glue whose speed no test measures.
foreach(config RELWITHDEBINFO RELEASE)
  string(REGEX REPLACE "-O[23s]" "-O1" CMAKE_CXX_FLAGS_${config} "${CMAKE_CXX_FLAGS_${config}}")
endforeach()
