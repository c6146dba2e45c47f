# SPDX-License-Identifier: GPL-3.0-or-later
# sonavell_library(<target> SOURCES <files...> [DEPENDS <targets...>] [PRIVATE_DEPENDS <targets...>])
#
# One static library per source folder. Sources include headers by their path from the source
# root ("platform/audio/AudioQueue.h"), but a library does not export the whole source root: it
# exports a folder in the build tree that holds a link to its own source folder only. A target
# therefore sees the headers of exactly the libraries it links, and a missing link is a compile
# error instead of a surprise at link time.
function(sonavell_library target)
    cmake_parse_arguments(L "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)

    add_library(${target} STATIC ${L_SOURCES})
    target_include_directories(${target} PUBLIC ${root})
    target_link_libraries(${target} PUBLIC ${L_DEPENDS} PRIVATE ${L_PRIVATE_DEPENDS})
endfunction()
