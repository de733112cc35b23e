# The forwarding load tool: a plain program, not a Google Benchmark one. It starts the program under
# test and plays its communicator and its automation software, so it needs the end-to-end support
# library of the tests.
if(TARGET velmor_test_support AND NOT WIN32)
  add_executable(forwarding_load ${CMAKE_CURRENT_LIST_DIR}/forwarding_load.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Bare_Automation.h ${CMAKE_CURRENT_LIST_DIR}/Bare_Automation.cpp)
  target_link_libraries(forwarding_load PRIVATE velmor_core velmor_test_support)
  add_dependencies(forwarding_load velmor)
endif()

# The soak run: the program under a long, untidy load, then the checks that nothing was lost.
if(TARGET velmor_test_support AND NOT WIN32)
  add_executable(soak ${CMAKE_CURRENT_LIST_DIR}/soak.cpp ${CMAKE_CURRENT_LIST_DIR}/Soak_Ledger.h
    ${CMAKE_CURRENT_LIST_DIR}/Soak_Ledger.cpp)
  target_link_libraries(soak PRIVATE velmor_core velmor_test_support)
  add_dependencies(soak velmor)
endif()
