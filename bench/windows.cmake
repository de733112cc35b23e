# The list windows' refresh, offscreen: a window program, so it has its own main.
add_executable(list_windows_bench ${CMAKE_CURRENT_LIST_DIR}/list_windows.cpp)
target_link_libraries(list_windows_bench PRIVATE velmor_gui benchmark::benchmark)
