# Joins the parts of the HTML5 player into one script, as they are, in the order
# that src/parts.cmake gives: cmake -DOUTPUT=FILE -P JoinParts.cmake
include(${CMAKE_CURRENT_LIST_DIR}/src/parts.cmake)
set(joined "")
foreach(part IN LISTS vidlume_html5_parts)
    file(READ ${CMAKE_CURRENT_LIST_DIR}/src/${part}.js text)
    string(APPEND joined "${text}")
endforeach()
# Written beside and renamed, so that a stopped build never leaves half a script.
file(WRITE ${OUTPUT}.part "${joined}")
file(RENAME ${OUTPUT}.part ${OUTPUT})
