# The main window, its log windows and the message box; the key entry and edit values they use are
# plain core code.
target_sources(velmor_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Edit_Values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Key_Entry.cpp)

target_sources(velmor_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Log_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Main_Output_Tab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Main_Receiver_Tab.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Main_Widgets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Main_unit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Message_Box.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Velmor_Application.cpp)
