# cmake --install lays out the product under the install prefix (default
# /opt/Velkor): bin/ is the bin directory the provider and the tools use
# (velkcore, the modules with their definitions and string files,
# velk-cimserver, velkcli, velklog.props), lib/ holds the provider library
# and the CIM API library it needs, share/velk/schema the class schema.
if(TARGET velkcore)
  install(TARGETS velkcore RUNTIME DESTINATION bin)
endif()
if(TARGET velkcli)
  install(TARGETS velkcli RUNTIME DESTINATION bin)
endif()
if(TARGET velk_cim)
  install(TARGETS velk_cim LIBRARY DESTINATION lib)
endif()
if(TARGET velk_modules)
  get_property(velk_module_targets TARGET velk_modules PROPERTY MANUALLY_ADDED_DEPENDENCIES)
  foreach(module_target ${velk_module_targets})
    get_target_property(module_file ${module_target} OUTPUT_NAME)
    string(REGEX REPLACE "\\.linux$" "" module_name ${module_file})
    install(TARGETS ${module_target} RUNTIME DESTINATION bin)
    install(FILES ${VELK_BIN_DIR}/${module_name}.vkm ${VELK_BIN_DIR}/${module_name}.nls
            DESTINATION bin)
  endforeach()
endif()
