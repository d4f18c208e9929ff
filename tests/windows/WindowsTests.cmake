# The Windows test program (MinGW-w64, run under Wine through the toolchain's emulator):
# the tests that mean the same on both systems (the link against the simulator, the KB90xx
# and NPCE operations, the firmware image loader, the dump checks) and the Windows file
# layer's own. The serial backend is checked against jig-sim by scripts/check-windows-port.

# There is no MinGW build of GoogleTest among the distribution's packages: it is built from
# the sources the googletest package installs, with this toolchain.
set(JIG_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${JIG_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target IN ITEMS gtest gtest_main gmock gmock_main)
  set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS "")  # our warnings are not its
endforeach()

add_library(jig_test_support STATIC support/RecordingView.cpp support/TestFiles.cpp support/EnvironmentWin32.cpp)
target_link_libraries(jig_test_support PUBLIC jig_core jig_sim gtest gmock)
target_compile_definitions(jig_test_support PUBLIC JIG_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           JIG_BINARY_DIR="${CMAKE_BINARY_DIR}")

# One program per folder, as on Linux: a folder's tests build, run and fail as one program
# under Wine. The task benches' helpers have names of their own (Kb90ShortBounds,
# NpceShortBounds, ...), so the split is about what is run together, not about names.
set(JIG_WINDOWS_TESTS_link link/VersionAnswerTest.cpp files/DumpChecksTest.cpp link/OpenProgrammerTest.cpp
                           main/FirmwareImageTest.cpp windows/FilesWin32Test.cpp)
set(JIG_WINDOWS_TESTS_Kb901x_form Kb901x_form/Kb90OperationsTest.cpp)
set(JIG_WINDOWS_TESTS_Npce Npce/NpceReadTest.cpp)
foreach(name IN ITEMS link Kb901x_form Npce)
  add_executable(test_windows_${name} ${JIG_WINDOWS_TESTS_${name}})
  target_link_libraries(test_windows_${name} PRIVATE jig_test_support jig_cli gtest_main)
  add_dependencies(test_windows_${name} jig-images)
  add_test(NAME test_windows_${name} COMMAND test_windows_${name})
  set_tests_properties(test_windows_${name} PROPERTIES TIMEOUT 600)
endforeach()
add_custom_target(test_windows DEPENDS test_windows_link test_windows_Kb901x_form test_windows_Npce)
