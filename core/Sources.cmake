# The core's sources, for every target that compiles them (the library, the
# fuzzers' own clang build): the portable ones, then the file layer of the
# target system. Paths are relative to this folder; korvastel_core_sources()
# gives them absolute.

set(KORVASTEL_CORE_PORTABLE_SOURCES
  Core.h
  DecimalSeparator.cpp DecimalSeparator.h
  Errors.cpp Errors.h
  NumberFormat.cpp NumberFormat.h
  ParseSpan.cpp ParseSpan.h
  RulingSpan.cpp RulingSpan.h
  SpanColumn.cpp SpanColumn.h
  SpanFile.cpp SpanFile.h
  SpanLineSplitter.cpp SpanLineSplitter.h
  arithmetic/ArithmeticVariant.h
  arithmetic/ExtendedArithmetic.h
  arithmetic/PowersOfTen.h
  arithmetic/SoftExtended.cpp arithmetic/SoftExtended.h
  arithmetic/WideInteger.h
  arithmetic/X87Extended.h
  file/FileStore.cpp file/FileStore.h
)

set(KORVASTEL_CORE_POSIX_SOURCES
  file/posix/File.cpp file/posix/File.h
  file/posix/FileCalls.cpp file/posix/FileCalls.h
  file/posix/FileStore.cpp
  file/posix/InOutError.cpp file/posix/InOutError.h
  file/posix/Path.cpp file/posix/Path.h
  file/posix/ReplacementFile.cpp file/posix/ReplacementFile.h
  file/posix/WriteSignalGuard.cpp file/posix/WriteSignalGuard.h
)

set(KORVASTEL_CORE_WINDOWS_SOURCES
  file/windows/File.cpp file/windows/File.h
  file/windows/FileCalls.cpp file/windows/FileCalls.h
  file/windows/FileStore.cpp
  file/windows/InOutError.cpp file/windows/InOutError.h
  file/windows/Path.cpp file/windows/Path.h
  file/windows/ReplacementFile.cpp file/windows/ReplacementFile.h
)

set(KORVASTEL_CORE_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

# Sets `out` to the absolute paths of the core's sources for the system being
# built for.
function(korvastel_core_sources out)
  set(sources ${KORVASTEL_CORE_PORTABLE_SOURCES})
  if(WIN32)
    list(APPEND sources ${KORVASTEL_CORE_WINDOWS_SOURCES})
  else()
    list(APPEND sources ${KORVASTEL_CORE_POSIX_SOURCES})
  endif()
  list(TRANSFORM sources PREPEND ${KORVASTEL_CORE_SOURCE_DIR}/)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
