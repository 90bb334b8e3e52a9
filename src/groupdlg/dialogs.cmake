# Group create and edit dialogs, with the byte-limited edit boxes they use.
target_sources(kumoui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/groupdetails.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit4.cpp
  ${CMAKE_CURRENT_LIST_DIR}/unit5.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../shell/cp932edit.cpp)
