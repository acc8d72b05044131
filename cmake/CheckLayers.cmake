cmake_minimum_required(VERSION 3.22)

# Fails when a source file includes a header of a layer above its own, or when a
# core folder includes Qt. Run by the check_layers target on every build:
#   cmake -DROOT=<source dir> -P CheckLayers.cmake
#
# The layers, each allowed to include itself and what stands to its right:
#   vidlume (window program), tools -> ui -> form -> site, upload -> publish -> media, page -> app -> platform
#   vidlume (window program on Windows) -> winui -> form -> ...
#   cli -> site, upload -> publish -> ...
#   convert (the converter program) -> media -> app -> platform
# Only the converter's side may reach FFmpeg: media/ConvertToMp4.h and the
# libraries' own headers are included in media/, convert/ and tools/ alone.
# Include paths name their folder ("page/PageInputs.h"), so the first path part
# tells the layer.

set(allowed_platform platform)
set(allowed_app app platform)
set(allowed_page page app platform)
set(allowed_media media app platform)
set(allowed_publish publish media page app platform)
set(allowed_site site publish media page app platform)
set(allowed_form form site upload publish media page app platform)
set(allowed_winui winui form publish media page app platform)
set(allowed_ui ui form publish media page app platform)
set(allowed_upload upload publish media page app platform)
set(allowed_cli cli site upload publish media page app platform)
set(allowed_vidlume vidlume ui winui form publish media page app platform)
set(allowed_tools tools ui form publish media page app platform)
set(allowed_convert convert media app platform)
set(ffmpeg_side media convert tools)
# Qt is for the Linux window only: neither the core nor the Win32 window include it.
set(core platform app page media publish site upload form convert winui)
# cli/ is no core folder, but it builds without Qt too (CLI11 reads its arguments).
set(without_qt ${core} cli)
set(layers platform app page media publish site upload form winui ui cli vidlume tools convert)

set(failures "")
foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources LIST_DIRECTORIES false
         "${ROOT}/${layer}/*.h" "${ROOT}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include")
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        foreach(line IN LISTS lines)
            if(NOT layer IN_LIST ffmpeg_side AND
               (line MATCHES "#[ \t]*include[ \t]*\"media/ConvertToMp4\\.h\"" OR
                line MATCHES "#[ \t]*include[ \t]*<lib(av|sw)[a-z]*/"))
                string(APPEND failures "  ${shown}: ${line} (only the converter's side may use FFmpeg)\n")
            endif()
            if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/")
                set(target "${CMAKE_MATCH_1}")
                if(target IN_LIST layers AND NOT target IN_LIST allowed_${layer})
                    string(APPEND failures "  ${shown}: ${line} (${layer} may not include ${target})\n")
                endif()
            elseif(layer IN_LIST without_qt AND line MATCHES "#[ \t]*include[ \t]*<Q")
                string(APPEND failures "  ${shown}: ${line} (no Qt in ${layer}/)\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(failures)
    message(FATAL_ERROR "Includes that break the layers:\n${failures}")
endif()
