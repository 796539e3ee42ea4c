# The tests of a Windows build made on Linux run under Wine (the toolchain's
# emulator), all in one prefix that a setup test makes in the build folder, so
# that ctest needs nothing prepared beforehand. Elsewhere the function does
# nothing: the tests run as they are.
#
# Wine's own variables come from tests/support/wine-environment, which the
# end-to-end tests read too: among them the Russian locale, from which Wine
# takes the ANSI code page Windows-1251 that a Russian Windows has and the
# grid's display of such lines relies on. Qt's variables reach a Windows program only as WINEQT_*, and its test
# output goes to the debugger unless sent to stderr. The offscreen platform of
# a Windows Qt finds fonts only in QT_QPA_FONTDIR: the prefix's, which are
# Wine's own and Liberation Sans.
function(korvastel_run_tests_under_wine)
  if(NOT (WIN32 AND CMAKE_CROSSCOMPILING))
    return()
  endif()
  set(prefix ${CMAKE_BINARY_DIR}/wine-prefix)
  set(home ${CMAKE_BINARY_DIR}/wine-home)
  get_property(have_prefix GLOBAL PROPERTY korvastel_wine_prefix_test)
  if(NOT have_prefix)
    set_property(GLOBAL PROPERTY korvastel_wine_prefix_test ON)
    # the prefix is a copy of a template kept in the user's cache
    add_test(NAME korvastel_wine_prefix
             COMMAND ${CMAKE_COMMAND} -E env --unset=WINEPREFIX ${PROJECT_SOURCE_DIR}/tests/support/wine-prefix ${prefix})
    set_tests_properties(korvastel_wine_prefix PROPERTIES FIXTURES_SETUP korvastel_wine TIMEOUT 300)
    file(MAKE_DIRECTORY ${home})
  endif()
  set(wine_environment_file ${PROJECT_SOURCE_DIR}/tests/support/wine-environment)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${wine_environment_file})
  file(STRINGS ${wine_environment_file} wine_variables REGEX "^[A-Z_]+=")
  list(TRANSFORM wine_variables REPLACE "^([A-Z_]+)=" "\\1=set:")
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED korvastel_wine
    ENVIRONMENT_MODIFICATION
      "WINEPREFIX=set:${prefix};HOME=set:${home};${wine_variables};WINEQT_QPA_PLATFORM=set:offscreen;WINEQT_FORCE_STDERR_LOGGING=set:1;WINEQT_QPA_FONTDIR=set:C:/windows/Fonts")
endfunction()
