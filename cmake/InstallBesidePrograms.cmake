# Run by `cmake --install`: copies every file that the build placed beside the
# programs (VIDLUME_BESIDE_FROM) into VIDLUME_BESIDE_TO, leaving out the programs
# themselves (ELF files), hidden files and a settings file that a run from the
# build tree may have written there.
file(GLOB entries LIST_DIRECTORIES false "${VIDLUME_BESIDE_FROM}/*")
set(files)
foreach(entry IN LISTS entries)
    get_filename_component(name "${entry}" NAME)
    if(name MATCHES "^\\." OR name STREQUAL "vidlume.ini")
        continue()
    endif()
    file(READ "${entry}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        continue()
    endif()
    list(APPEND files "${entry}")
endforeach()
if(NOT files)
    message(FATAL_ERROR "No files beside the programs in ${VIDLUME_BESIDE_FROM}: build first.")
endif()
file(INSTALL DESTINATION "${VIDLUME_BESIDE_TO}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
     FILES ${files})
