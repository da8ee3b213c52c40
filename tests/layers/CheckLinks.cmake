cmake_minimum_required(VERSION 3.22)
# cmake -DCLOSURE=<link-closure.txt> -DBINARIES=<a;b> -P CheckLinks.cmake
# Fails when a headless target or program reaches a widget or OpenGL library:
#  - in the link closure CMake worked out for our targets (cmake/LinkLayers.cmake):
#    no widget, OpenGL or QtConcurrent target, no rz_views;
#  - in what a built program needs or loads: no Qt widget, OpenGL or
#    Concurrent module. The system's libOpenGL, libGLX and libEGL are Qt
#    Gui's own (libQt6Gui.so.6 needs them and its link interface names
#    them), so whether a program names them depends on the linker's
#    --as-needed; that we link no GL ourselves is what the closure shows.
set(forbidden_targets Qt6::Widgets Qt6::OpenGL Qt6::OpenGLWidgets Qt6::Concurrent
    OpenGL::GL OpenGL::OpenGL OpenGL::GLX rz_views rz_progress rz_app)
set(forbidden_modules "libQt6Widgets|libQt6OpenGL|libQt6Concurrent")

set(failures "")
if(NOT EXISTS "${CLOSURE}")
    message(FATAL_ERROR "no link closure at ${CLOSURE}")
endif()
file(STRINGS "${CLOSURE}" lines)
set(checked 0)
foreach(line IN LISTS lines)
    string(REGEX MATCH "^([^:]+): (.*)$" _ "${line}")
    set(target "${CMAKE_MATCH_1}")
    set(closure "${CMAKE_MATCH_2}")
    math(EXPR checked "${checked} + 1")
    foreach(item IN LISTS forbidden_targets)
        if(item IN_LIST closure)
            list(APPEND failures "${target} links ${item}")
        endif()
    endforeach()
endforeach()
if(checked LESS 3)
    list(APPEND failures "only ${checked} targets in ${CLOSURE}")
endif()

foreach(binary IN LISTS BINARIES)
    if(NOT EXISTS "${binary}")
        list(APPEND failures "${binary} was not built")
        continue()
    endif()
    execute_process(COMMAND readelf -d "${binary}" OUTPUT_VARIABLE dynamic RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        list(APPEND failures "readelf failed on ${binary}")
    endif()
    string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[([^]\n]+)\\]" needed "${dynamic}")
    foreach(entry IN LISTS needed)
        if(entry MATCHES "(${forbidden_modules})")
            list(APPEND failures "${binary} needs ${entry}")
        endif()
    endforeach()
    execute_process(COMMAND ldd "${binary}" OUTPUT_VARIABLE loaded RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        list(APPEND failures "ldd failed on ${binary}")
    endif()
    string(REGEX MATCHALL "(${forbidden_modules})[^ \n]*" bad "${loaded}")
    if(bad)
        list(APPEND failures "${binary} loads ${bad}")
    endif()
    message(STATUS "${binary}: ${needed}")
endforeach()

if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "widget or OpenGL libraries in headless programs:\n  ${text}")
endif()
message(STATUS "checked ${checked} targets and ${BINARIES}")
