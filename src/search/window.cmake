target_sources(kumoui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/unit8.cpp)
