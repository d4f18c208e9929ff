# The layering the code keeps, checked on every build and as a test. Each room may include
# only the rooms below it:
#   view/   (what an operation may say and show) view/, and the platform's files header;
#   link/   (the programmer connection)           view/, link/;
#   journal/ (the job journal in SQLite)           view/, journal/, and the platform's files header;
#   files/  (file safety)                          view/, journal/, files/;
#   job/    (the flash job)                        view/, link/, journal/, files/, job/;
#   cli/    (the command line)                     view/, link/, journal/, files/, job/, cli/;
#   main/   (the firmware switch, the main window) view/, link/, journal/, files/, main/, and
#           cli/ from its *Cli and *Family files;
#   gui/    (the window framework)                 every core room, and Qt.
# A task folder includes itself and, by the kind of file:
#   a protocol file (*Protocol*)                   view/, link/;
#   a command-line or registration file (*Cli*, *Family*) every core room but gui/;
#   a window (named in WINDOWS)                    every core room, gui/ and Qt;
#   any other file (operations, texts, checks)     view/, link/, journal/, files/, job/.
# No core file includes sim/, app/, tests/ or another task's folder, nor climbs out with "..";
# no file outside gui/ and the named windows includes Qt; the simulator includes no Qt.
# SOURCE_DIR is the tree to check, TASK_DIRS the task folders and WINDOWS the window files
# without their extension (folder/TName), both comma-separated.
# Fails listing every offending file and include.
cmake_minimum_required(VERSION 3.20)
if(NOT SOURCE_DIR OR NOT TASK_DIRS)
  message(FATAL_ERROR "CheckLayering: SOURCE_DIR and TASK_DIRS are needed")
endif()
string(REPLACE "," ";" task_dirs "${TASK_DIRS}")
string(REPLACE "," ";" windows "${WINDOWS}")
set(rooms view link journal files job cli main gui)
set(project_dirs ${rooms} sim app tests bench ${task_dirs})
set(platform_files files/PlatformFiles.h)

set(offences "")
# Checks one file: `allowed` are the folders it may include, Qt whether it may use Qt.
function(check_file dir file allowed qt)
  get_filename_component(name ${file} NAME)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" path "${line}")
    if(path MATCHES "(^|/)\\.\\.(/|$)")
      list(APPEND offences "${dir}/${name}: ${path} (climbs out of its folder)")
    elseif(path MATCHES "^(Q[A-Za-z]|qt)" AND NOT qt)
      list(APPEND offences "${dir}/${name}: ${path} (Qt outside the window code)")
    elseif(path MATCHES "^([^/]+)/")
      set(top ${CMAKE_MATCH_1})
      if(top IN_LIST project_dirs AND NOT top IN_LIST allowed AND NOT path IN_LIST platform_files)
        list(JOIN allowed ", " rooms_allowed)
        list(APPEND offences "${dir}/${name}: ${path} (may include only ${rooms_allowed})")
      endif()
    endif()
  endforeach()
  set(offences "${offences}" PARENT_SCOPE)
endfunction()

function(sources_of dir out)
  file(GLOB files ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.cpp)
  if(NOT files)
    message(FATAL_ERROR "CheckLayering: no sources in ${SOURCE_DIR}/${dir}")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(check_room dir allowed qt)
  sources_of(${dir} files)
  foreach(file IN LISTS files)
    check_file(${dir} ${file} "${allowed}" ${qt})
  endforeach()
  set(offences "${offences}" PARENT_SCOPE)
endfunction()

check_room(view "view" FALSE)
check_room(link "view;link" FALSE)
check_room(journal "view;journal" FALSE)
check_room(files "view;journal;files" FALSE)
check_room(job "view;link;journal;files;job" FALSE)
check_room(cli "view;link;journal;files;job;cli" FALSE)
check_room(gui "view;link;journal;files;job;cli;main;gui" TRUE)

set(core_below_gui view link journal files job cli main)
function(check_mixed dir own)
  sources_of(${dir} files)
  foreach(file IN LISTS files)
    get_filename_component(name ${file} NAME_WE)
    if("${dir}/${name}" IN_LIST windows)
      check_file(${dir} ${file} "${core_below_gui};gui;${own}" TRUE)
    elseif(name MATCHES "(Cli|Family)")
      check_file(${dir} ${file} "${core_below_gui};${own}" FALSE)
    elseif(name MATCHES "Protocol")
      check_file(${dir} ${file} "view;link;${own}" FALSE)
    elseif(dir STREQUAL "main")
      check_file(${dir} ${file} "view;link;journal;files;main" FALSE)
    else()
      check_file(${dir} ${file} "view;link;journal;files;job;${own}" FALSE)
    endif()
  endforeach()
  set(offences "${offences}" PARENT_SCOPE)
endfunction()

check_mixed(main main)
foreach(task IN LISTS task_dirs)
  check_mixed(${task} ${task})
endforeach()
# The simulator is not the core, but it stays free of Qt as well.
check_room(sim "${project_dirs}" FALSE)

if(offences)
  list(JOIN offences "\n  " listed)
  message(FATAL_ERROR "Layering broken:\n  ${listed}")
endif()
if(NOT QUIET)
  message(STATUS "layering holds: ${rooms}, ${TASK_DIRS}, sim/")
endif()
