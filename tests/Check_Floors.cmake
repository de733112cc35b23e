# Fails when a source file includes a folder its floor may not use: the ground (base/) uses no
# subsystem, the stores only the ground, the receiver and the output the stores and the ground (and
# not each other), and only the application shell uses everything. Run: cmake -DSOURCE_DIR=... -P
cmake_minimum_required(VERSION 3.25)

set(allowed_base "")
set(allowed_store base)
set(allowed_receiver base store)
set(allowed_output base store)
set(allowed_app base store receiver output)
set(folders base store receiver output app)

set(violations "")
foreach(folder ${folders})
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z_]+)/.*" "\\1" target "${line}")
      if(target STREQUAL folder OR NOT target IN_LIST folders)
        continue()
      endif()
      if(NOT target IN_LIST allowed_${folder})
        file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
        string(APPEND violations "  ${relative}: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the floors:\n${violations}")
endif()
message(STATUS "Every include keeps to its floor")
