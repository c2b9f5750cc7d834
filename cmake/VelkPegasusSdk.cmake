# Building against a real OpenPegasus SDK (VELK_PEGASUS_SDK=<prefix>, with the
# headers in <prefix>/include and libpegcommon, libpegprovider in <prefix>/lib).

# The files of <prefix> a provider build needs: the public headers the
# provider includes, the internal ones it includes (System.h,
# InternalException.h) and the two libraries.
set(VELK_PEGASUS_SDK_REQUIRED_HEADERS
    include/Pegasus/Common/Config.h
    include/Pegasus/Common/InternalException.h
    include/Pegasus/Common/System.h
    include/Pegasus/Provider/CIMInstanceProvider.h
    include/Pegasus/Provider/CIMMethodProvider.h)
set(VELK_PEGASUS_SDK_REQUIRED_LIBRARIES pegcommon pegprovider)

# Sets out_var to the shared library lib<name> of prefix: lib/lib<name>.so
# when it is one (a file or a link), else the SONAME file lib/lib<name>.so.1
# (an SDK copied without its links); empty when neither is a shared library.
function(velk_pegasus_sdk_library prefix name out_var)
  set(${out_var} "" PARENT_SCOPE)
  foreach(file ${prefix}/lib/lib${name}.so ${prefix}/lib/lib${name}.so.1)
    if(EXISTS ${file} AND NOT IS_DIRECTORY ${file})
      file(READ ${file} magic LIMIT 4 HEX)
      if(magic STREQUAL "7f454c46")
        set(${out_var} ${file} PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
endfunction()

# Sets out_var to what a provider build needs and prefix lacks (empty: usable).
function(velk_pegasus_sdk_missing prefix out_var)
  set(missing)
  foreach(file ${VELK_PEGASUS_SDK_REQUIRED_HEADERS})
    if(NOT EXISTS ${prefix}/${file})
      list(APPEND missing ${file})
    endif()
  endforeach()
  foreach(name ${VELK_PEGASUS_SDK_REQUIRED_LIBRARIES})
    velk_pegasus_sdk_library(${prefix} ${name} library)
    if(NOT library)
      list(APPEND missing lib/lib${name}.so)
    endif()
  endforeach()
  set(${out_var} ${missing} PARENT_SCOPE)
endfunction()

# Defines the interface target velk_cim on the SDK in place of our CIM layer.
function(velk_use_pegasus_sdk prefix)
  if(NOT IS_DIRECTORY ${prefix})
    message(FATAL_ERROR "VELK_PEGASUS_SDK: ${prefix} is not a directory")
  endif()
  velk_pegasus_sdk_missing(${prefix} missing)
  if(missing)
    list(JOIN missing ", " missing_text)
    message(FATAL_ERROR "VELK_PEGASUS_SDK: ${prefix} is no OpenPegasus SDK, it lacks ${missing_text}")
  endif()
  if(VELK_SANITIZE OR VELK_TSAN)
    message(FATAL_ERROR "VELK_PEGASUS_SDK cannot be combined with VELK_SANITIZE or VELK_TSAN: "
                        "the provider must link with -Wl,--no-undefined to the OpenPegasus libraries")
  endif()
  add_library(velk_cim INTERFACE)
  # SYSTEM: the OpenPegasus headers' own warnings are not ours.
  target_include_directories(velk_cim SYSTEM INTERFACE ${prefix}/include)
  target_compile_definitions(velk_cim INTERFACE PEGASUS_PLATFORM_LINUX_X86_64_GNU _GNU_SOURCE
                                                THREAD_SAFE _REENTRANT)
  velk_pegasus_sdk_library(${prefix} pegprovider pegprovider_library)
  velk_pegasus_sdk_library(${prefix} pegcommon pegcommon_library)
  target_link_libraries(velk_cim INTERFACE ${pegprovider_library} ${pegcommon_library})
endfunction()
