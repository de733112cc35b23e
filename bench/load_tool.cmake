# The receiver load tool: a plain program, not a Google Benchmark one, run by hand against a running
# receiver. POSIX sockets and poll(), so it is left out on Windows.
if(NOT WIN32)
  add_executable(dc09_load ${CMAKE_CURRENT_LIST_DIR}/dc09_load.cpp ${CMAKE_CURRENT_LIST_DIR}/DC09_Floor_Server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DC09_Udp_Load.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/DC09_Test_Frames.cpp)
  target_link_libraries(dc09_load PRIVATE velmor_options OpenSSL::Crypto Threads::Threads)
  # Resident memory of the receiver while connections come and go.
  add_executable(dc09_churn ${CMAKE_CURRENT_LIST_DIR}/dc09_churn.cpp ${CMAKE_SOURCE_DIR}/tests/support/DC09_Test_Frames.cpp)
  target_link_libraries(dc09_churn PRIVATE velmor_options OpenSSL::Crypto)
endif()

# Hostile load: garbage, idle or short connections beside one real communicator. It starts the
# program itself, so it needs the end-to-end support library of the tests.
if(TARGET velmor_test_support AND NOT WIN32)
  add_executable(dc09_hostile ${CMAKE_CURRENT_LIST_DIR}/dc09_hostile.cpp)
  target_link_libraries(dc09_hostile PRIVATE velmor_options velmor_test_support Threads::Threads)
  add_dependencies(dc09_hostile velmor)
endif()
