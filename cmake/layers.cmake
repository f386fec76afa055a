# The folders are layers: protocol, then inventory and net, procedures, diagnostics and
# ui, resources, and the programs (app, tools). A target sees "<layer>/x.h" only for its
# own layer and the layers it links, because each layer's include root holds a link to
# its own folder and nothing else: an include that runs upward does not compile.
# scripts/check-layers.sh checks the same rule from the sources.
function(telvane_layer target folder)
    set(root "${PROJECT_BINARY_DIR}/layers/${folder}")
    if(NOT EXISTS "${root}/${folder}")
        file(MAKE_DIRECTORY "${root}")
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" RESULT linked SYMBOLIC)
        if(NOT linked EQUAL 0)
            # A file system without links: the build still works, only without the wall.
            message(STATUS "layers: no link for ${folder} (${linked}); using the source root")
            set(root "${PROJECT_SOURCE_DIR}")
        endif()
    endif()
    get_target_property(kind ${target} TYPE)
    if(kind STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE "${root}")
    else()
        target_include_directories(${target} PUBLIC "${root}")
    endif()
endfunction()
