# Turns resource files into a C++ source that holds their bytes, so the
# program carries its artwork and never depends on files beside it.
function(larkspire_embed_resources out_var)
  set(generated "${CMAKE_CURRENT_BINARY_DIR}/embedded_resources.cpp")
  set(args "")
  set(deps "")
  foreach(entry IN LISTS ARGN)
    # entry is NAME@TYPE@FILE
    string(REPLACE "@" ";" parts "${entry}")
    list(GET parts 2 file)
    list(APPEND deps "${file}")
    list(APPEND args "${entry}")
  endforeach()
  string(REPLACE ";" "," joined "${args}")
  add_custom_command(
    OUTPUT "${generated}"
    COMMAND ${CMAKE_COMMAND} "-DOUTPUT=${generated}" "-DENTRIES=${joined}"
            -P "${CMAKE_SOURCE_DIR}/cmake/GenerateResources.cmake"
    DEPENDS ${deps} "${CMAKE_SOURCE_DIR}/cmake/GenerateResources.cmake"
    COMMENT "Embedding resources"
    VERBATIM)
  set(${out_var} "${generated}" PARENT_SCOPE)
endfunction()
