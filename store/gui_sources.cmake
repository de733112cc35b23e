# The Event List and Object List windows live beside the stores they show, but they are windows.
target_sources(velmor_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Operator_Question.h
  ${CMAKE_CURRENT_LIST_DIR}/List_Grid.h ${CMAKE_CURRENT_LIST_DIR}/List_Grid.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Event_log.h ${CMAKE_CURRENT_LIST_DIR}/Event_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Id_list.h ${CMAKE_CURRENT_LIST_DIR}/Id_list.cpp)
