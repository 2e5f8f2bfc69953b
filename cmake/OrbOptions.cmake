# Build switches shared by every target.
option(ORB_WERROR "Treat compiler warnings as errors" OFF)
set(ORB_SANITIZE "" CACHE STRING "Sanitizers to build with, e.g. address,undefined or thread")
option(ORB_FUZZ "Build the libFuzzer targets (clang only)" OFF)

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
                    -Wnon-virtual-dtor -Wswitch)
if(ORB_WERROR)
  add_compile_options(-Werror)
endif()

# The fuzzers see coverage of the parsers themselves, not just of their own files.
if(ORB_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(ORB_SANITIZE)
  add_compile_options(-fsanitize=${ORB_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ORB_SANITIZE})
endif()

# Adds a file that belongs beside the programs (language files, skins).
function(orb_copy_to_bin target)
  foreach(file IN LISTS ARGN)
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${ORB_BIN_DIR}/${name}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_SOURCE_DIR}/${file} ${ORB_BIN_DIR}/${name}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    list(APPEND outputs ${ORB_BIN_DIR}/${name})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

# One of the two public libraries: its exports file over the internals in
# `internals`, its public headers, the shared result codes, the ABI version
# (lib<name>.so.1) and no RPATH (the loader's own paths find it).
function(orb_public_library name internals)
  add_library(${name} SHARED src/exports.cpp)
  target_link_libraries(${name} PRIVATE ${internals} PUBLIC orb_api)
  target_include_directories(${name} PRIVATE src)
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
                                            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(${name} PROPERTIES VERSION ${ORB_LIBRARY_VERSION} SOVERSION ${ORB_LIBRARY_SOVERSION}
                                           INSTALL_RPATH "")
  target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
endfunction()
