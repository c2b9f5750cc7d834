# Warnings for every target of the project; third-party headers come in as
# system includes and stay quiet.
add_compile_options(-Wall -Wextra -Wshadow=local -Wno-unused-parameter)
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
