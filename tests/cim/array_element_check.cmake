# cmake -DCXX=<compiler> -DINCLUDE_DIR=<cim/include> -DSOURCE=<array_element_cases.cpp>
#       -P array_element_check.cmake
# Compiles each case of array_element_cases.cpp: Array of the element types the
# OpenPegasus libraries provide compiles, Array of any other element type fails
# with the CIM layer's own message (not some unrelated error).
set(message "OpenPegasus libraries contain no Array code for this element type")

function(compile_case number out_result out_output)
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only -I${INCLUDE_DIR}
                          -DARRAY_CASE=${number} ${SOURCE}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

compile_case(0 result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "Array of a provided element type does not compile:\n${output}")
endif()
foreach(number RANGE 1 6)
  compile_case(${number} result output)
  if(result EQUAL 0)
    message(FATAL_ERROR "case ${number}: Array of an unprovided element type compiles")
  endif()
  string(FIND "${output}" "${message}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "case ${number}: rejected for another reason:\n${output}")
  endif()
endforeach()
