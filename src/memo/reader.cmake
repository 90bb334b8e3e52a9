# Memo reader for Jw_cad files: plain file reading, no windows.
target_sources(kumocore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/jwmemo.cpp)
