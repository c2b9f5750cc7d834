# velk_add_module(NAME <module file name> SOURCES ... [LIBRARIES ...]
#                 [DEFINITIONS <file.vkm>] [STRINGS <file.nls>])
#
# Builds the diagnostic module NAME as the engine discovers it: the
# executable NAME.linux, its definitions file NAME.vkm and its string file
# NAME.nls, side by side in the bin directory.  The definitions and string
# files default to NAME.vkm and NAME.nls of the calling folder.  The target
# is called velk_module_<NAME>; the target velk_modules depends on every one.
function(velk_add_module)
  cmake_parse_arguments(ARG "" "NAME;DEFINITIONS;STRINGS" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT ARG_NAME OR NOT ARG_SOURCES)
    message(FATAL_ERROR "velk_add_module needs NAME and SOURCES")
  endif()
  if(NOT ARG_DEFINITIONS)
    set(ARG_DEFINITIONS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_NAME}.vkm)
  endif()
  if(NOT ARG_STRINGS)
    set(ARG_STRINGS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_NAME}.nls)
  endif()
  set(target velk_module_${ARG_NAME})
  add_executable(${target} ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_NAME}.linux
                                             RUNTIME_OUTPUT_DIRECTORY ${VELK_BIN_DIR})
  target_link_libraries(${target} PRIVATE velk_module_support ${ARG_LIBRARIES})
  if(TARGET velk_modules)
    add_dependencies(velk_modules ${target})
  endif()
  configure_file(${ARG_DEFINITIONS} ${VELK_BIN_DIR}/${ARG_NAME}.vkm COPYONLY)
  configure_file(${ARG_STRINGS} ${VELK_BIN_DIR}/${ARG_NAME}.nls COPYONLY)
endfunction()
