target_sources(kumoui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/unit3.cpp ${CMAKE_CURRENT_LIST_DIR}/unit7.cpp)
