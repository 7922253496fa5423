# vorlune-extract ARCHIVE TARGET_DIR: the installer's extraction engine on the command line, for
# trying archives by hand and for the extraction benchmark.
add_executable(vorlune-extract ${CMAKE_CURRENT_LIST_DIR}/vorlune_extract.cpp)
target_link_libraries(vorlune-extract PRIVATE vorlune_services)
target_compile_options(vorlune-extract PRIVATE ${VORLUNE_WARNINGS})
if(VORLUNE_WINDOWS)
  # A console program with a wide entry point (wmain), so that any path arrives intact.
  target_link_options(vorlune-extract PRIVATE -municode)
endif()
