# The tests of a Windows build (included by tests/CMakeLists.txt). They run
# under Wine on the build machine: scripts/test-windows.sh prepares a Wine
# prefix and runs them with ctest.
vidlume_core_test(test_ErrorText test_ErrorText.cpp)
vidlume_core_test(test_GlobalUnit test_GlobalUnit.cpp)
vidlume_core_test(test_SplitString test_SplitString.cpp)
vidlume_core_test(test_PageEscaping test_PageEscaping.cpp)
vidlume_core_test(test_BuildPlayerPage test_BuildPlayerPage.cpp)
vidlume_core_test(test_PathNames test_PathNames.cpp)
vidlume_core_test(test_IniText test_IniText.cpp)
vidlume_core_test(test_SettingsFile test_SettingsFile.cpp ScratchFolder.h)
vidlume_core_test(test_OutputFolder test_OutputFolder.cpp ScratchFolder.h)
vidlume_core_test(test_FileCopy test_FileCopy.cpp ScratchFolder.h)
vidlume_core_test(test_DriveType test_DriveType.cpp)
vidlume_core_test(test_BesideProgram test_BesideProgram.cpp ScratchFolder.h)
