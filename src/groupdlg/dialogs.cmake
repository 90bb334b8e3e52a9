# Group create and edit dialogs.
target_sources(kumoui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/groupdetails.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit4.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit5.cpp)
