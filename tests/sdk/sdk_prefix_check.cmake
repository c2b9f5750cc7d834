# cmake -DWORK_DIR=<dir> -P sdk_prefix_check.cmake
# Builds incomplete OpenPegasus SDK prefixes under WORK_DIR and checks that
# velk_pegasus_sdk_missing names exactly the files each one lacks.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/VelkPegasusSdk.cmake)

# Files named lib/*.so get the four bytes that start a shared library.
function(make_prefix name)
  file(REMOVE_RECURSE ${WORK_DIR}/${name})
  file(MAKE_DIRECTORY ${WORK_DIR}/${name})
  string(ASCII 127 delete)
  foreach(file ${ARGN})
    if(file MATCHES "^lib/.*[.]so")
      file(WRITE ${WORK_DIR}/${name}/${file} "${delete}ELF")
    else()
      file(WRITE ${WORK_DIR}/${name}/${file} "")
    endif()
  endforeach()
endfunction()

function(expect_missing name)
  velk_pegasus_sdk_missing(${WORK_DIR}/${name} missing)
  if(NOT "${missing}" STREQUAL "${ARGN}")
    message(FATAL_ERROR "prefix ${name}: missing '${missing}', expected '${ARGN}'")
  endif()
endfunction()

set(headers ${VELK_PEGASUS_SDK_REQUIRED_HEADERS})
set(libraries lib/libpegcommon.so lib/libpegprovider.so)
set(public_headers ${headers})
list(FILTER public_headers EXCLUDE REGEX "System|Internal")

make_prefix(complete ${headers} ${libraries})
expect_missing(complete)
make_prefix(soname-files-only ${headers} lib/libpegcommon.so.1 lib/libpegprovider.so.1)
expect_missing(soname-files-only)
make_prefix(headers-only ${headers})
expect_missing(headers-only ${libraries})
make_prefix(no-internal-headers ${public_headers} ${libraries})
expect_missing(no-internal-headers include/Pegasus/Common/InternalException.h
               include/Pegasus/Common/System.h)
make_prefix(empty)
expect_missing(empty ${headers} ${libraries})
# A copied link: a text file naming the library is not one.
make_prefix(text-links ${headers})
file(WRITE ${WORK_DIR}/text-links/lib/libpegcommon.so "libpegcommon.so.1")
file(WRITE ${WORK_DIR}/text-links/lib/libpegprovider.so "libpegprovider.so.1")
expect_missing(text-links ${libraries})
file(REMOVE_RECURSE ${WORK_DIR})
