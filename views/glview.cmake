# The OpenGL map view.
target_sources(rz_views PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/DrawGLWdg.cpp ${CMAKE_CURRENT_LIST_DIR}/DrawGLWdg.h
    ${CMAKE_CURRENT_LIST_DIR}/GlBufferFunctions.cpp ${CMAKE_CURRENT_LIST_DIR}/GlBufferFunctions.h
)
