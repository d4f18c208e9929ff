# The layering the code keeps, checked on every build and as a test:
#   link/         includes only link/;
#   main/         only link/ and main/;
#   a task folder only link/, main/ and itself (its window files T<Capital>* too);
#   so no core file includes sim/, app/, tests/ or another task's folder, nor climbs out
#   with "..";
#   no core file and no simulator file includes Qt, except the window files T<Capital>*.
# SOURCE_DIR is the tree to check, TASK_DIRS the task folders (comma-separated).
# Fails listing every offending file and include.
cmake_minimum_required(VERSION 3.20)
if(NOT SOURCE_DIR OR NOT TASK_DIRS)
  message(FATAL_ERROR "CheckLayering: SOURCE_DIR and TASK_DIRS are needed")
endif()
string(REPLACE "," ";" task_dirs "${TASK_DIRS}")
set(project_dirs link main sim app tests bench ${task_dirs})

set(offences "")
function(check_folder dir allowed qt_allowed_in_windows)
  file(GLOB files ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.cpp)
  if(NOT files)
    message(FATAL_ERROR "CheckLayering: no sources in ${SOURCE_DIR}/${dir}")
  endif()
  foreach(file IN LISTS files)
    get_filename_component(name ${file} NAME)
    set(window FALSE)
    if(name MATCHES "^T[A-Z]" AND qt_allowed_in_windows)
      set(window TRUE)
    endif()
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" path "${line}")
      if(path MATCHES "(^|/)\\.\\.(/|$)")
        list(APPEND offences "${dir}/${name}: ${path} (climbs out of its folder)")
      elseif(path MATCHES "^(Q[A-Za-z]|qt)" AND NOT window)
        list(APPEND offences "${dir}/${name}: ${path} (Qt outside a window file)")
      elseif(path MATCHES "^([^/]+)/")
        set(top ${CMAKE_MATCH_1})
        if(top IN_LIST project_dirs AND NOT top IN_LIST allowed)
          list(APPEND offences "${dir}/${name}: ${path} (${dir}/ may include only ${allowed})")
        endif()
      endif()
    endforeach()
  endforeach()
  set(offences "${offences}" PARENT_SCOPE)
endfunction()

check_folder(link "link" FALSE)
check_folder(main "link;main" TRUE)
foreach(task IN LISTS task_dirs)
  check_folder(${task} "link;main;${task}" TRUE)
endforeach()
# The simulator is not the core, but it stays free of Qt as well.
check_folder(sim "${project_dirs}" FALSE)

if(offences)
  list(JOIN offences "\n  " listed)
  message(FATAL_ERROR "Layering broken:\n  ${listed}")
endif()
if(NOT QUIET)
  message(STATUS "layering holds: link/, main/, ${TASK_DIRS}, sim/")
endif()
