# rio_layer(<name> [PREFIX <include prefix>] SOURCES <files...> [DEPENDS <layers...>])
#
# One layer of the program as its own static library rio_<name>. Its headers
# are reached as "<prefix>/<header>.h" (the prefix is the name unless given),
# through an include root that holds nothing but a link to the layer's own
# folder. A layer sees only its own root and the roots of the layers it links,
# so an include of a layer above it, or of a sibling it does not link, fails
# to build.
function(rio_layer name)
    cmake_parse_arguments(ARG "" "PREFIX" "SOURCES;DEPENDS" ${ARGN})
    if(NOT ARG_PREFIX)
        set(ARG_PREFIX ${name})
    endif()
    set(root ${CMAKE_BINARY_DIR}/include_roots/${name})
    get_filename_component(link_parent ${root}/${ARG_PREFIX} DIRECTORY)
    file(MAKE_DIRECTORY ${link_parent})
    if(NOT EXISTS ${root}/${ARG_PREFIX})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${ARG_PREFIX} SYMBOLIC RESULT link_result)
        if(NOT link_result EQUAL 0)
            message(FATAL_ERROR "rio_layer(${name}): cannot link ${root}/${ARG_PREFIX}: ${link_result}")
        endif()
    endif()
    add_library(rio_${name} STATIC ${ARG_SOURCES})
    target_include_directories(rio_${name} PUBLIC ${root})
    target_link_libraries(rio_${name} PUBLIC ${ARG_DEPENDS} rio_build_flags)
endfunction()
