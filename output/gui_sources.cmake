# The serial settings dialog lives beside the serial code it configures, but it is a window.
target_sources(velmor_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Com_settings.h ${CMAKE_CURRENT_LIST_DIR}/Com_settings.cpp)
