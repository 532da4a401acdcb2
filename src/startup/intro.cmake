# The introduction window shown on the first start.
add_library(pantrio_intro STATIC
    ${CMAKE_CURRENT_LIST_DIR}/FirstRun.cpp ${CMAKE_CURRENT_LIST_DIR}/FirstRun.h)
target_link_libraries(pantrio_intro PUBLIC pantrio_richtext pantrio_platform_gui Qt6::Widgets
    PRIVATE pantrio_options)
