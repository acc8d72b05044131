# Run by the vidlume_installer target: writes FILES_NSH, the NSIS include that
# names what the installer puts beside the programs: every file the Windows
# build placed in its programs' folder (BIN) except the tests, hidden files and
# a settings file a test run may have left there. Also writes SIZE_KB.
file(GLOB entries LIST_DIRECTORIES false "${BIN}/*")
set(install "!macro INSTALL_FILES\n")
set(uninstall "!macro UNINSTALL_FILES\n")
set(bytes 0)
foreach(entry IN LISTS entries)
    get_filename_component(name "${entry}" NAME)
    if(name MATCHES "^\\." OR name MATCHES "^test_.*\\.exe$" OR name STREQUAL "vidlume.ini")
        continue()
    endif()
    file(SIZE "${entry}" size)
    math(EXPR bytes "${bytes} + ${size}")
    file(TO_NATIVE_PATH "${entry}" native)
    string(APPEND install "  File \"${entry}\"\n")
    string(APPEND uninstall "  Delete \"$INSTDIR\\${name}\"\n")
endforeach()
string(APPEND install "!macroend\n")
string(APPEND uninstall "!macroend\n")
math(EXPR kib "${bytes} / 1024")
set(defines "!define SIZE_KB ${kib}\n")
file(WRITE "${FILES_NSH}" "${defines}${install}${uninstall}")
