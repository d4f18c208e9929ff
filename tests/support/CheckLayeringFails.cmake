# The layering check fails on a wrong include: each case plants one file in a scratch copy
# of the checked folders (never in the tree) and expects the check to fail naming it; the
# clean copy, and a window file that includes Qt and main/, must pass.
# SOURCE_DIR, TASK_DIRS as for CheckLayering.cmake; WORK_DIR a scratch folder.
cmake_minimum_required(VERSION 3.20)
string(REPLACE "," ";" task_dirs "${TASK_DIRS}")
set(copy "${WORK_DIR}/layering-tree")
file(REMOVE_RECURSE "${copy}")
foreach(dir link main sim ${task_dirs})
  file(GLOB sources ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.cpp)
  file(COPY ${sources} DESTINATION "${copy}/${dir}")
endforeach()

set(failures "")
function(run_check planted text expect_failure)
  if(planted)
    file(WRITE "${copy}/${planted}" "${text}\n")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${copy} -DTASK_DIRS=${TASK_DIRS} -DQUIET=ON
                          -P ${CMAKE_CURRENT_LIST_DIR}/CheckLayering.cmake
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(planted)
    file(REMOVE "${copy}/${planted}")
  endif()
  if(expect_failure AND (result EQUAL 0 OR NOT out MATCHES "${planted}"))
    list(APPEND failures "not caught: ${planted} with ${text}")
  elseif(NOT expect_failure AND NOT result EQUAL 0)
    list(APPEND failures "refused: '${planted}' with '${text}':\n${out}")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

run_check("" "" FALSE)
run_check("Edid/TPlanted.cpp" "#include <QWidget>\n#include \"main/TTaskWindow.h\"\n#include \"Edid/EdidOperations.h\"" FALSE)
run_check("Npce/Planted.h" "#include \"link/D2xx.h\"\n#include \"main/Tasks.h\"" FALSE)

run_check("link/Planted.h" "#include \"main/Tasks.h\"" TRUE)
run_check("link/Planted.cpp" "#include \"Npce/NpceProtocol.h\"" TRUE)
run_check("main/Planted.cpp" "#include \"Edid/EdidOperations.h\"" TRUE)
run_check("main/TPlanted.cpp" "#include \"app/TWindows.h\"" TRUE)
run_check("Edid/Planted.cpp" "#include \"Npce/NpceOperations.h\"" TRUE)
run_check("Kb901x_form/Planted.h" "  #  include <sim/SimD2xx.h>" TRUE)
run_check("Mec16xx/TPlanted.cpp" "#include \"sim/SimD2xx.h\"" TRUE)
run_check("Ite/TPlanted.h" "#include \"app/TWindows.h\"" TRUE)
run_check("Keyboard/Planted.cpp" "#include \"../sim/SimD2xx.h\"" TRUE)
run_check("Npce/Planted.h" "#include <QString>" TRUE)
run_check("sim/Planted.cpp" "#include <QByteArray>" TRUE)
run_check("Ite/Planted.cpp" "#include \"tests/support/TestFiles.h\"" TRUE)

file(REMOVE_RECURSE "${copy}")
if(failures)
  list(JOIN failures "\n  " listed)
  message(FATAL_ERROR "The layering check:\n  ${listed}")
endif()
