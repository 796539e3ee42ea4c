# Compiles the help document (run with cmake -P).
#   SOURCE_DIR  the help sources: Korvastel.hhp, .hhc, .hhk and html/
#   SOURCES     their paths relative to SOURCE_DIR, separated by ','
#   STAGE_DIR   a scratch folder for the converted copies
#   OUTPUT      where Korvastel.chm goes
#   CHMCMD, ICONV, PYTHON  the tools
#
# The sources are UTF-8. A Russian CHM declares code page 1251 (language
# 0x419), and viewers read its contents, index and search words in that code
# page, so every source is converted to it before compiling. A character that
# code page lacks stops the build; write it as an HTML entity instead.
foreach(var SOURCE_DIR SOURCES STAGE_DIR OUTPUT CHMCMD ICONV PYTHON)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CompileHelp.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${STAGE_DIR})
string(REPLACE "," ";" sources "${SOURCES}")

foreach(source ${sources})
  file(READ ${SOURCE_DIR}/${source} text)
  string(REPLACE "charset=utf-8" "charset=windows-1251" text "${text}")
  get_filename_component(folder ${STAGE_DIR}/${source} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(WRITE ${STAGE_DIR}/${source}.utf8 "${text}")
  execute_process(
    COMMAND ${ICONV} -f UTF-8 -t CP1251 ${STAGE_DIR}/${source}.utf8
    OUTPUT_FILE ${STAGE_DIR}/${source}
    ERROR_VARIABLE iconv_error
    RESULT_VARIABLE iconv_result)
  if(NOT iconv_result EQUAL 0)
    message(FATAL_ERROR "help/${source}: not convertible to code page 1251: ${iconv_error}")
  endif()
  file(REMOVE ${STAGE_DIR}/${source}.utf8)
endforeach()

# chmcmd reports missing pages and broken links as warnings but still
# succeeds; a help document with a dead link is not finished, so they fail.
execute_process(
  COMMAND ${CHMCMD} Korvastel.hhp
  WORKING_DIRECTORY ${STAGE_DIR}
  OUTPUT_VARIABLE chmcmd_output
  ERROR_VARIABLE chmcmd_output
  RESULT_VARIABLE chmcmd_result)
if(NOT chmcmd_result EQUAL 0 OR chmcmd_output MATCHES "Warning|Error")
  message(FATAL_ERROR "chmcmd failed on help/Korvastel.hhp:\n${chmcmd_output}")
endif()

# The same sources give the same bytes: the binary index (Binary Index=No in
# the project) would carry bytes chmcmd leaves unset, and the times it stamps
# are cleared.
execute_process(
  COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/clear-chm-times.py ${STAGE_DIR}/Korvastel.chm
  RESULT_VARIABLE clear_result)
if(NOT clear_result EQUAL 0)
  message(FATAL_ERROR "Cannot clear the times in Korvastel.chm")
endif()

get_filename_component(output_folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_folder})
file(COPY_FILE ${STAGE_DIR}/Korvastel.chm ${OUTPUT})
