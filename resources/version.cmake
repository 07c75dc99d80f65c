# The project version as a header, for the Windows version resource (kelda.rc) of every
# executable that links kelda_core.
configure_file("${CMAKE_CURRENT_LIST_DIR}/kelda_version.h.in"
               "${CMAKE_CURRENT_BINARY_DIR}/generated/kelda_version.h" @ONLY)
target_include_directories(kelda_core PUBLIC "${CMAKE_CURRENT_BINARY_DIR}/generated")
