# cmake -DOUTPUT=file "-DINPUTS=a|b" -P JoinFiles.cmake
# Writes the inputs one after the other into OUTPUT, separated by a blank line.
string(REPLACE "|" ";" inputs "${INPUTS}")
file(WRITE ${OUTPUT} "")
foreach(input IN LISTS inputs)
    file(READ ${input} text)
    file(APPEND ${OUTPUT} "${text}\n")
endforeach()
