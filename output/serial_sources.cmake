# Report lines, the serial receive thread and the serial port list go to the core; the serial
# settings dialog is a window.
target_sources(velmor_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Report_Line.h ${CMAKE_CURRENT_LIST_DIR}/Report_Line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/At_rec_thread.h ${CMAKE_CURRENT_LIST_DIR}/At_rec_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Com_Ports.h ${CMAKE_CURRENT_LIST_DIR}/Com_Ports.cpp)
if(WIN32)
  target_sources(velmor_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Com_Ports_win32.cpp)
else()
  target_sources(velmor_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Com_Ports_posix.cpp)
endif()

target_sources(velmor_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Com_settings.h ${CMAKE_CURRENT_LIST_DIR}/Com_settings.cpp)
