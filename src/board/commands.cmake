target_sources(kumocore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/commands.cpp)
