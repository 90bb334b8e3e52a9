target_sources(kumocore PRIVATE board.cpp)
