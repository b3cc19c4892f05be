# find_package(KOVZAFT2): the installed library as the imported target KOVZAFT2::KOVZAFT2.
# The installed tree is relocatable: everything is found from this file's place.
get_filename_component(_kovzaft2_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET KOVZAFT2::KOVZAFT2)
  add_library(KOVZAFT2::KOVZAFT2 SHARED IMPORTED)
  set_target_properties(KOVZAFT2::KOVZAFT2 PROPERTIES
    IMPORTED_LOCATION "${_kovzaft2_prefix}/lib/libKOVZAFT2.so"
    INTERFACE_INCLUDE_DIRECTORIES "${_kovzaft2_prefix}/include")
endif()
set(KOVZAFT2_FOUND TRUE)
unset(_kovzaft2_prefix)
