# Checks the compiled help document (run with cmake -P):
#   CHM       the compiled Korvastel.chm beside the program
#   CHMLS     chmls, to read the document's directory, contents and pages
#   ICONV     iconv, to read the document's code page 1251 as UTF-8
#   WORK_DIR  a scratch folder
#
# Each topic is: page | title in the contents | phrases its text must hold
# (a phrase never holds a ';', so an entity is matched without it).
cmake_policy(VERSION 3.25)
set(topics
  "index.html|Korvastel: расчёт приведённого пролёта|приведённый пролёт|L<sub>пр</sub> = |Расчёт"
  "input.html|Ввод пролётов и клавиши таблицы|Backspace|Enter|F2|Escape|PgUp|PgDn|Ctrl+Home|Ctrl+End|Ctrl+PgUp|Ctrl+PgDn|Ctrl+&uarr|Ctrl+&darr|Tab|колесо мыши|Ctrl+Insert|Ctrl+C|Shift+Delete|Ctrl+X|Shift+Insert|Ctrl+V|первого знака табуляции"
  "values.html|Какие тексты считаются пролётами|1,5|1 000|- 5|12 m|знак табуляции, затем|пустая строка|1e3"
  "files.html|Файл пролётов|CR LF|LF|Ctrl-Z|4000|остаются прежними|только строки, которые|без вопроса|жёсткие ссылки|прежний файл"
  "commands.html|Команды и поля результатов|Очистить|Открыть файл|Сохранить файл|Расчёт|О программе|Помощь|Выход|Приведённый пролёт, м|Сумма введённых пролётов, м|Число пролётов"
  "errors.html|Сообщения об ошибках|File not found.|Invalid filename.|Too many open files.|File access denied.|I/O error N.|6 — |21 — |27 — |28 — |32 — |123 — |223 — |Invalid floating point operation.|Floating point division by zero.|Floating point overflow."
  "example.html|Пример расчёта|100|200|300|244.95|600.00|36 000 000")

foreach(var CHM CHMLS ICONV WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckHelpFile.cmake: ${var} is not set")
  endif()
endforeach()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

if(NOT EXISTS ${CHM})
  message(FATAL_ERROR "no help document at ${CHM}")
endif()

# every compiled help file opens with the signature "ITSF"
file(READ ${CHM} signature LIMIT 4 HEX)
if(NOT signature STREQUAL "49545346")
  fail("${CHM} does not start with ITSF (its first bytes are ${signature})")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Runs chmls with the given arguments and leaves its output, read as UTF-8,
# in the variable named by out.
function(chmls out)
  execute_process(COMMAND ${CHMLS} ${ARGN} OUTPUT_FILE ${WORK_DIR}/chmls.out ERROR_QUIET
    RESULT_VARIABLE result)
  execute_process(COMMAND ${ICONV} -f CP1251 -t UTF-8 ${WORK_DIR}/chmls.out
    OUTPUT_VARIABLE text RESULT_VARIABLE converted)
  if(NOT result EQUAL 0 OR NOT converted EQUAL 0)
    set(text "")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Reads a file written by chmls in code page 1251 as UTF-8.
function(read_cp1251 path out)
  set(text "")
  if(EXISTS ${path})
    execute_process(COMMAND ${ICONV} -f CP1251 -t UTF-8 ${path} OUTPUT_VARIABLE text)
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

chmls(directory -n list ${CHM})
chmls(system printsystem ${CHM})
if(NOT system MATCHES "Default topic[^\n]*:html/index.html")
  fail("the default topic is not html/index.html")
endif()
execute_process(COMMAND ${CHMLS} extracttoc ${CHM} ${WORK_DIR}/toc.hhc OUTPUT_QUIET ERROR_QUIET)
read_cp1251(${WORK_DIR}/toc.hhc contents)

foreach(topic ${topics})
  string(REPLACE "|" ";" fields "${topic}")
  list(POP_FRONT fields page title)

  string(FIND "${directory}" "/html/${page}\n" listed)
  if(listed EQUAL -1)
    fail("html/${page} is not in the document's directory")
    continue()
  endif()
  string(FIND "${contents}" "value=\"${title}\"" titled)
  if(titled EQUAL -1)
    fail("the contents have no entry \"${title}\"")
  endif()

  execute_process(COMMAND ${CHMLS} extract ${CHM} /html/${page} ${WORK_DIR}/${page} OUTPUT_QUIET ERROR_QUIET)
  read_cp1251(${WORK_DIR}/${page} text)
  string(FIND "${text}" "<title>${title}</title>" has_title)
  if(has_title EQUAL -1)
    fail("html/${page} does not carry the title \"${title}\"")
  endif()
  foreach(phrase ${fields})
    string(FIND "${text}" "${phrase}" found)
    if(found EQUAL -1)
      fail("html/${page} does not mention \"${phrase}\"")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "The help document ${CHM} is incomplete:\n${failures}")
endif()
message(STATUS "The help document holds all topics.")
