target_sources(rz_views PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/BorderOutline.cpp ${CMAKE_CURRENT_SOURCE_DIR}/BorderOutline.h)
