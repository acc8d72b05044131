# The tests of a Windows build (included by tests/CMakeLists.txt). They run
# under Wine on the build machine: scripts/test-windows.sh prepares a Wine
# prefix and runs them with ctest.
vidlume_core_test(test_ErrorText test_ErrorText.cpp)
vidlume_core_test(test_GlobalUnit test_GlobalUnit.cpp)
target_compile_definitions(test_GlobalUnit PRIVATE VIDLUME_BUILD_VERSION=${vidlume_build_version})
vidlume_core_test(test_SplitString test_SplitString.cpp)
vidlume_core_test(test_PageEscaping test_PageEscaping.cpp)
vidlume_core_test(test_BuildPlayerPage test_BuildPlayerPage.cpp)
vidlume_core_test(test_PathNames test_PathNames.cpp)
vidlume_core_test(test_IniText test_IniText.cpp)
vidlume_core_test(test_SettingsFile test_SettingsFile.cpp ScratchFolder.h)
vidlume_core_test(test_OutputFolder test_OutputFolder.cpp ScratchFolder.h)
vidlume_core_test(test_FileCopy test_FileCopy.cpp ScratchFolder.h)
vidlume_core_test(test_FileSystem test_FileSystem.cpp ScratchFolder.h)
vidlume_core_test(test_DriveType test_DriveType.cpp)
vidlume_core_test(test_BesideProgram test_BesideProgram.cpp ScratchFolder.h)
# Upload passwords in Wine's Credential Manager (kept in the test prefix's registry).
vidlume_core_test(test_Keyring test_Keyring.cpp)
# What an upload decides before it talks to a server (the manifest, the plan, the URL).
vidlume_core_test(test_UploadPlan test_UploadPlan.cpp)
target_link_libraries(test_UploadPlan PRIVATE vidlume_upload)

# Paths of this machine handed to a test under Wine are written "Z:/...": Wine's
# drive Z: is the machine's root folder.

# A child that behaves well or badly on purpose, standing in for the converter.
# Outside the programs' folder, which the installer takes as a whole.
add_executable(stand_in_converter windows/StandInConverter_win.cpp)
target_link_libraries(stand_in_converter PRIVATE vidlume_platform)
set_target_properties(stand_in_converter PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/wine-test)
vidlume_core_test(test_ChildProcess test_ChildProcess.cpp ScratchFolder.h)
vidlume_core_test(test_RunConverter test_RunConverter.cpp ScratchFolder.h)
foreach(suite test_ChildProcess test_RunConverter)
    add_dependencies(${suite} stand_in_converter)
    target_compile_definitions(${suite} PRIVATE VIDLUME_STAND_IN_PATH="Z:$<TARGET_FILE:stand_in_converter>")
endforeach()

# Every suite runs under Wine: one that hangs fails after its time instead of
# holding up the run.
set_tests_properties(test_ErrorText test_GlobalUnit test_SplitString test_PageEscaping test_BuildPlayerPage
                     test_PathNames test_IniText test_SettingsFile test_OutputFolder test_FileCopy test_FileSystem
                     test_DriveType test_BesideProgram test_UploadPlan test_Keyring PROPERTIES TIMEOUT 120)
set_tests_properties(test_ChildProcess test_RunConverter PROPERTIES TIMEOUT 200)

# Sample videos made before the suites that convert them (Wine has no ffmpeg).
set(vidlume_samples ${CMAKE_CURRENT_BINARY_DIR}/samples)
add_test(NAME windows_sample_videos
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/make-samples.sh ${vidlume_samples})
set_tests_properties(windows_sample_videos PROPERTIES FIXTURES_SETUP windows_samples TIMEOUT 120)

# Publishing with the real converter beside it.
vidlume_core_test(test_Publish test_Publish.cpp ScratchFolder.h CraftedFlv.h)
add_dependencies(test_Publish vidlume-convert)
target_compile_definitions(test_Publish PRIVATE VIDLUME_CONVERT_PATH="Z:$<TARGET_FILE:vidlume-convert>"
                                                VIDLUME_SAMPLES_DIR="Z:${vidlume_samples}")
set_tests_properties(test_Publish PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED windows_samples)

# Runs the built command line tool as a user would, the player files and the
# converter beside it.
vidlume_core_test(test_vidlume_cli test_vidlume_cli.cpp ScratchFolder.h)
add_dependencies(test_vidlume_cli vidlume-cli vidlume-convert vidlume_html5_files vidlume_player fake-explorer)
target_compile_definitions(test_vidlume_cli PRIVATE VIDLUME_CLI_PATH="Z:$<TARGET_FILE:vidlume-cli>"
                                                    VIDLUME_FAKE_EXPLORER_PATH="Z:$<TARGET_FILE:fake-explorer>"
                                                    VIDLUME_VERSION_TEXT="${PROJECT_VERSION}"
                                                    VIDLUME_SAMPLES_DIR="Z:${vidlume_samples}")
set_tests_properties(test_vidlume_cli PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED windows_samples)

# The programs as a user runs them, under Wine.
add_test(NAME cli_publish_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli-publish.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${CMAKE_CURRENT_BINARY_DIR}/cli_publish)
set_tests_properties(cli_publish_under_wine PROPERTIES TIMEOUT 300)
# The same in a terminal, which Wine makes the program's console.
add_test(NAME cli_console_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli-console.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${CMAKE_CURRENT_BINARY_DIR}/cli_console)
set_tests_properties(cli_console_under_wine PROPERTIES TIMEOUT 120)
# A small archive made into a site, and made again.
add_test(NAME cli_site_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli-site.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${CMAKE_CURRENT_BINARY_DIR}/cli_site)
set_tests_properties(cli_site_under_wine PROPERTIES TIMEOUT 300)
# vidlume-cli.exe upload against Debian's sshd on 127.0.0.1 (its own port and keys).
add_test(NAME cli_upload_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli-upload.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${CMAKE_CURRENT_BINARY_DIR}/cli_upload)
set_tests_properties(cli_upload_under_wine PROPERTIES TIMEOUT 300)
# And over FTPS (vsftpd) and WebDAV over HTTPS (Apache httpd), with a CA of the test's own;
# over WebDAV once more with the password in the Credential Manager, kept there by
# keep_password (outside the programs' folder, like the stand-in converter).
add_executable(keep_password windows/KeepPassword_win.cpp)
target_link_libraries(keep_password PRIVATE vidlume_platform)
set_target_properties(keep_password PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/wine-test)
add_test(NAME cli_upload_tls_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli-upload-tls.sh ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}
                 ${CMAKE_CURRENT_BINARY_DIR}/cli_upload_tls $<TARGET_FILE:keep_password>)
set_tests_properties(cli_upload_tls_under_wine PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
# The installer, silently installed and uninstalled (the vidlume_installer target
# makes it; scripts/test-windows.sh builds that first).
add_test(NAME installer_under_wine
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/installer.sh
                 ${CMAKE_BINARY_DIR}/vidlume-setup-${PROJECT_VERSION}.exe)
# It installs into the prefix's Program Files and registry: alone, not beside the others.
set_tests_properties(installer_under_wine PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)

# The window's rules without a toolkit, the same suites as on Linux.
vidlume_core_test(test_form test_form.cpp FakeMainFormView.h)
target_link_libraries(test_form PRIVATE vidlume_form)
vidlume_core_test(test_formProgress test_formProgress.cpp)
target_link_libraries(test_formProgress PRIVATE vidlume_form)
# The Win32 window driven with xdotool under Wine in a display of its own.
add_subdirectory(wine)
