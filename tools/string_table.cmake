# zelo_string_table(<target> <strings.txt>): builds the host generator tools/strtab_gen,
# runs it on the string file and adds the generated table to <target>. The header of
# symbols is reachable as "resources/string_ids.h" for everything linking <target>.
function(zelo_string_table target source)
  if(NOT TARGET zelo_strtab_gen)
    add_executable(zelo_strtab_gen ${PROJECT_SOURCE_DIR}/tools/strtab_gen.cpp)
    # A build-time tool: no sanitizer or fuzzer instrumentation.
    set_property(TARGET zelo_strtab_gen PROPERTY COMPILE_OPTIONS -Wall -Wextra)
    set_property(TARGET zelo_strtab_gen PROPERTY LINK_OPTIONS "")
  endif()
  set(_out ${PROJECT_BINARY_DIR}/generated)
  set(_table ${_out}/string_table.cpp)
  set(_ids ${_out}/resources/string_ids.h)
  add_custom_command(
    OUTPUT ${_table} ${_ids}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_out}/resources
    COMMAND zelo_strtab_gen ${source} ${_table} ${_ids}
    DEPENDS zelo_strtab_gen ${source}
    COMMENT "Generating the string table"
    VERBATIM)
  target_sources(${target} PRIVATE ${_table} ${_ids})
  target_include_directories(${target} PUBLIC ${_out})
endfunction()
