# Cross-builds Vidlume for 64-bit Windows with Debian's mingw-w64:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
# (scripts/build-windows.sh does this). The posix-threads variant of the
# compilers: the win32 one has no std::thread or std::mutex. The run-time is
# linked statically, so the programs need only Windows' own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VIDLUME_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VIDLUME_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIDLUME_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${VIDLUME_MINGW_HOST}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VIDLUME_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Programs built here run under Wine on this machine (tests, generators),
# through wine-run.sh, so that no process they leave behind holds ctest's pipe.
find_program(VIDLUME_WINE wine)
if(VIDLUME_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR bash ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
endif()

# The static libraries that scripts/build-windows-deps.sh (FFmpeg, x264) and
# scripts/build-windows-upload-deps.sh (OpenSSL, libssh2, libcurl, expat) build: VIDLUME_WIN_DEPS is
# the list of their prefixes, and their pkg-config files, no others, answer
# pkg_check_modules.
if(VIDLUME_WIN_DEPS)
    set(vidlume_pkgconfig_dirs "")
    foreach(prefix IN LISTS VIDLUME_WIN_DEPS)
        list(APPEND vidlume_pkgconfig_dirs ${prefix}/lib/pkgconfig)
    endforeach()
    string(REPLACE ";" ":" vidlume_pkgconfig_dirs "${vidlume_pkgconfig_dirs}")
    set(ENV{PKG_CONFIG_LIBDIR} "${vidlume_pkgconfig_dirs}")
    set(ENV{PKG_CONFIG_PATH} "")
endif()
