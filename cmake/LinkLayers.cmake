# The link closure of the targets that must stay headless: the formats,
# the rendering, the border, the command-line tools, the benchmarks without
# windows and the fuzz targets. Worked out once every target exists and
# written to layers/link-closure.txt, one "target: items" line each; the
# test layers_link (tests/layers) fails if a widget or OpenGL library is in
# it. A fuzz build has no tests, so there it fails the configuration.

set(RZ_HEADLESS_TARGETS
    rz_convert rz_render rz_border rz_chgt2png_options rz_hgt2chgt_options
    chgt2png hgt2chgt hgtgen bench_convert bench_painter
    fuzz_chgt_read fuzz_border_read fuzz_tile_name fuzz_mesh
    fuzz_hgt2chgt_options fuzz_chgt2png_options)
set(RZ_FORBIDDEN_LINKS
    Qt6::Widgets Qt6::OpenGL Qt6::OpenGLWidgets Qt6::Concurrent
    OpenGL::GL OpenGL::OpenGL OpenGL::GLX rz_views rz_progress rz_app)

# GDAL is for the formats and the tools: the rendering, the views, the
# painter benchmark and the fuzz targets never reach it.
set(RZ_GDAL_FREE_TARGETS
    rz_convert rz_render rz_border rz_views bench_painter
    fuzz_chgt_read fuzz_border_read fuzz_tile_name fuzz_mesh
    fuzz_hgt2chgt_options fuzz_chgt2png_options)
set(RZ_GDAL_LINKS GDAL::GDAL rz_gdal rz_import)

# Our own targets are followed through; imported ones (Qt, system) are leaves.
function(rz_link_closure target out)
    set(seen "")
    set(queue ${target})
    while(queue)
        list(POP_FRONT queue item)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
        if(item STREQUAL "" OR item MATCHES "^\\$<" OR item IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${item})
        if(NOT TARGET ${item})
            continue()
        endif()
        get_target_property(imported ${item} IMPORTED)
        if(imported)
            continue()
        endif()
        foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(links ${item} ${property})
            if(links)
                list(APPEND queue ${links})
            endif()
        endforeach()
    endwhile()
    list(REMOVE_ITEM seen ${target})
    set(${out} "${seen}" PARENT_SCOPE)
endfunction()

function(rz_check_link_layers)
    set(text "")
    set(broken "")
    foreach(target IN LISTS RZ_HEADLESS_TARGETS)
        if(NOT TARGET ${target})
            continue()
        endif()
        rz_link_closure(${target} closure)
        string(APPEND text "${target}: ${closure}\n")
        foreach(forbidden IN LISTS RZ_FORBIDDEN_LINKS)
            if(forbidden IN_LIST closure)
                list(APPEND broken "${target} -> ${forbidden}")
            endif()
        endforeach()
    endforeach()
    file(WRITE ${CMAKE_BINARY_DIR}/layers/link-closure.txt "${text}")

    set(text "")
    foreach(target IN LISTS RZ_GDAL_FREE_TARGETS)
        if(NOT TARGET ${target})
            continue()
        endif()
        rz_link_closure(${target} closure)
        string(APPEND text "${target}: ${closure}\n")
        foreach(forbidden IN LISTS RZ_GDAL_LINKS)
            if(forbidden IN_LIST closure)
                list(APPEND broken "${target} -> ${forbidden}")
            endif()
        endforeach()
    endforeach()
    file(WRITE ${CMAKE_BINARY_DIR}/layers/gdal-free-closure.txt "${text}")
    if(broken AND RZMAP_BUILD_FUZZ)
        message(FATAL_ERROR "targets link what they must not: ${broken}")
    endif()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL rz_check_link_layers)
