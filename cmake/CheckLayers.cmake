# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that each folder of the library includes only from the folders below it:
#   core <- engine <- analysis <- io <- commands <- ui / app
# Run as: cmake -DSOURCE_DIR=<src> -P CheckLayers.cmake. Any include of a folder at
# the same rank or above (other than its own) fails with the file and the line.
set(order core engine analysis io commands ui app)
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(bad "")
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" layer "${source}")
  list(FIND order "${layer}" rank)
  if(rank EQUAL -1)
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*" "\\1" target "${line}")
    list(FIND order "${target}" targetRank)
    if(targetRank EQUAL -1 OR target STREQUAL layer)
      continue()
    endif()
    # ui and app share the top rank but stay apart, except that app's programs
    # start the windows.
    if(layer STREQUAL "app" AND target STREQUAL "ui")
      continue()
    endif()
    if(targetRank GREATER_EQUAL rank)
      string(APPEND bad "  ${source}: ${line}\n")
    endif()
  endforeach()
endforeach()
if(bad)
  message(FATAL_ERROR "Includes against the layer order core <- engine <- analysis <- io <- commands <- ui / app:\n${bad}")
endif()
