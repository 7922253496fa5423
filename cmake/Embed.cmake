# vorlune_embed_file(<target> <symbol> <file> [BYTE_SET])
# Links <file> into <target> as read-only data through the assembler's .incbin, so large files
# never pass through the C++ compiler. The bytes are reachable as <symbol> .. <symbol>_end.
# With BYTE_SET the data is laid out as a stored byte set: a 32-bit count (1), a 32-bit length,
# then the bytes; <symbol> then names the count field.
set(VORLUNE_EMBED_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/embed.S.in")

function(vorlune_embed_file target symbol file)
  cmake_parse_arguments(EMBED "BYTE_SET" "" "" ${ARGN})
  get_filename_component(file "${file}" ABSOLUTE)
  set(VORLUNE_EMBED_SYMBOL "${symbol}")
  set(VORLUNE_EMBED_FILE "${file}")
  if(EMBED_BYTE_SET)
    set(VORLUNE_EMBED_HEADER ".long 1\n  .long 2f - 1f")
  else()
    set(VORLUNE_EMBED_HEADER "")
  endif()
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embed_${target}_${symbol}.S")
  configure_file("${VORLUNE_EMBED_TEMPLATE}" "${out}" @ONLY)
  target_sources(${target} PRIVATE "${out}")
  # .incbin is invisible to the dependency scanner: rebuild when the embedded file changes.
  set_property(SOURCE "${out}" APPEND PROPERTY OBJECT_DEPENDS "${file}")
endfunction()
