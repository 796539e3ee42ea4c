# A QtTest program over the windows: one source, linked against the ui library
# and, where it exists, the application shell the windows run in.
function(korvastel_add_qt_test_program source)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE korvastel::ui Qt6::Test)
  if(TARGET korvastel_shell)
    target_link_libraries(${name} PRIVATE korvastel::shell)
  endif()
  # A static Qt links the platforms it may load: the tests run offscreen or
  # on the minimal platform, with no display
  if(TARGET Qt6::QOffscreenIntegrationPlugin)
    get_target_property(qt_type Qt6::Core TYPE)
    if(qt_type STREQUAL "STATIC_LIBRARY")
      qt_import_plugins(${name} INCLUDE Qt6::QOffscreenIntegrationPlugin Qt6::QMinimalIntegrationPlugin)
    endif()
  endif()
  set(korvastel_qt_test_program ${name} PARENT_SCOPE)
endfunction()
