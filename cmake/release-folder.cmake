# Lays out one release's ready-to-run folder: the shipped program folder, the program,
# and an Options.ini cut to that release's group length.
#   cmake -DSOURCE=<program folder> -DPROGRAM=<exe> -DDEST=<folder> -DLINES=<n>
#         [-DREADME=<README.txt>] [-DLICENSES=<LICENSES.txt>] -P release-folder.cmake
file(REMOVE_RECURSE "${DEST}")
file(COPY "${SOURCE}/" DESTINATION "${DEST}")
file(COPY "${PROGRAM}" DESTINATION "${DEST}")
# The first LINES lines, each ended by CR LF as every text file of the folder.
file(READ "${SOURCE}/Options.ini" rest)
set(kept "")
foreach(i RANGE 1 ${LINES})
  string(FIND "${rest}" "\n" end)
  if(end EQUAL -1)
    message(FATAL_ERROR "${SOURCE}/Options.ini has fewer than ${LINES} lines")
  endif()
  string(SUBSTRING "${rest}" 0 ${end} line)
  string(REPLACE "\r" "" line "${line}")
  string(APPEND kept "${line}\r\n")
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${rest}" ${end} -1 rest)
endforeach()
file(WRITE "${DEST}/Options.ini" "${kept}")
# The texts for the user beside the program.
foreach(text "${README}" "${LICENSES}")
  if(text)
    file(COPY "${text}" DESTINATION "${DEST}")
  endif()
endforeach()
