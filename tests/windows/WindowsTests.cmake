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
target_link_libraries(jig_test_support PUBLIC jig_core jig_sim gtest gmock psapi)
target_compile_definitions(jig_test_support PUBLIC JIG_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                           JIG_BINARY_DIR="${CMAKE_BINARY_DIR}" JIG_SANITIZED=0)

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

# The window tests, where Qt for Windows is there (scripts/build-qt-windows): real widgets on
# Qt's offscreen platform, one program per folder as on Linux, run under Wine. Left out: the
# pictures of docs/ (made on Linux; the Windows ones come from the desktop check below).
if(JIG_GUI)
  # The faces the offscreen platform draws with (Debian's fonts-dejavu-core), as on Linux.
  set(JIG_TEST_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "Fonts of the Windows window tests")
  set(JIG_WINDOWS_GUI_TEST_DIRS Edid Ite Kb901x_form Keyboard Mec16xx Npce app main reliability screen)
  set(JIG_WINDOWS_GUI_TESTS)
  foreach(dir IN LISTS JIG_WINDOWS_GUI_TEST_DIRS)
    file(GLOB gui_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/gui_*.cpp)
    list(FILTER gui_tests EXCLUDE REGEX "/gui_Screenshots\\.cpp$")
    set(program guitest_windows_${dir})
    add_executable(${program} ${gui_tests} support/gui_main.cpp)
    target_link_libraries(${program} PRIVATE jig_test_support jig_gui jig_cli Qt6::Test)
    qt_import_plugins(${program} INCLUDE Qt6::QOffscreenIntegrationPlugin)
    add_dependencies(${program} jig-images)
    target_compile_definitions(${program} PRIVATE JIG_TEST_FONT_DIR="${JIG_TEST_FONT_DIR}")
    # Beside the program's own .exe, where the firmware images and Qt's Russian texts are.
    set_target_properties(${program} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    # The platform is given on the command line: Wine hands no QT_ variable on. The
    # screen tests' screen is 1366x768 with framed windows; the file's path has no drive
    # letter, so the platform's options keep their colons to themselves, and Wine takes it on
    # the current drive, Z:, its root.
    set(platform offscreen)
    if(dir STREQUAL "screen")
      set(platform "offscreen:configfile=${CMAKE_CURRENT_SOURCE_DIR}/screen/1366x768.json")
    endif()
    # An error that escapes an event handler ends the application's event loops for good on
    # Windows, as the program ends after it: that test runs in a program of its own.
    add_test(NAME ${program} COMMAND ${program} -platform ${platform} --gtest_filter=-EscapedError.*)
    set(tests ${program})
    if(dir STREQUAL "app")
      add_test(NAME ${program}_escaped_error COMMAND ${program} -platform ${platform} --gtest_filter=EscapedError.*)
      list(APPEND tests ${program}_escaped_error)
    endif()
    # What the windows keep goes to the registry of the Wine prefix, which every program run
    # in it shares, and each test starts with nothing kept: one window program at a time.
    set_tests_properties(${tests} PROPERTIES TIMEOUT 900 RESOURCE_LOCK wine_registry)
    list(APPEND JIG_WINDOWS_GUI_TESTS ${program})
  endforeach()
  add_custom_target(guitest_windows DEPENDS ${JIG_WINDOWS_GUI_TESTS})

  # The windows on Wine's own desktop (scripts/check-windows-port), not a test of ctest's:
  # it needs an X display and a COM port mapped to jig-sim.
  add_executable(check_windows_screen windows/gui_OnWineDesktop.cpp support/gui_main.cpp)
  target_link_libraries(check_windows_screen PRIVATE jig_test_support jig_gui jig_cli Qt6::Test)
  add_dependencies(check_windows_screen jig-images)
  set_target_properties(check_windows_screen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
