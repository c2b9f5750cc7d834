# Warnings for every target of the project; third-party headers come in as
# system includes and stay quiet.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
if(CMAKE_C_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wshadow=local)
else()
  add_compile_options(-Wshadow)
endif()
