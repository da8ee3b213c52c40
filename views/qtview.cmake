# The painter map view and the drawing code it shares with chgt2png.
target_sources(rz_views PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/ColoredPolygon.h
    ${CMAKE_CURRENT_LIST_DIR}/ChgtReader.cpp ${CMAKE_CURRENT_LIST_DIR}/ChgtReader.h
    ${CMAKE_CURRENT_LIST_DIR}/MapPainter.cpp ${CMAKE_CURRENT_LIST_DIR}/MapPainter.h
    ${CMAKE_CURRENT_LIST_DIR}/DrawQtWdg.cpp ${CMAKE_CURRENT_LIST_DIR}/DrawQtWdg.h
    ${CMAKE_CURRENT_LIST_DIR}/DrawQtWdg.ui
)
# Points are mapped to device pixels exactly as Qt maps them: no fused
# multiply-add that Qt's own build would not use.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/MapPainter.cpp
        PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
endif()
