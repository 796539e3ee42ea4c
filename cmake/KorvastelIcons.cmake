# The program's pictures are drawn as SVG. For a Qt without SVG (the static Qt
# of the Windows build) they are rendered at build time, by the build
# machine's own Qt, into PNG resources and the program's Windows icon.
include(ExternalProject)

# A 16-pixel toolbar picture and a 32-pixel window icon at screen scales of
# 100, 125, 150, 175 and 200 %.
set(KORVASTEL_PICTURE_SIZES 16 20 24 28 32 40 48 64)
# What Explorer, the taskbar and the Start menu ask of a program's icon.
set(KORVASTEL_WINDOWS_ICON_SIZES 16 20 24 32 40 48 64 256)

# The renderer (packaging/RenderIcon.cpp) built for the build machine.
function(korvastel_host_icon_renderer out_var)
  set(dir ${CMAKE_BINARY_DIR}/host-render-icon)
  if(NOT TARGET korvastel_host_render_icon)
    ExternalProject_Add(korvastel_host_render_icon
      SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging/render-icon
      BINARY_DIR ${dir}
      CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
      INSTALL_COMMAND ""
      BUILD_BYPRODUCTS ${dir}/render-icon)
  endif()
  set(${out_var} ${dir}/render-icon PARENT_SCOPE)
endfunction()

# render(svg args...): runs the renderer on a screen-less platform.
macro(korvastel_render_command out_var)
  korvastel_host_icon_renderer(renderer)
  set(${out_var} ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
    XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/host-render-icon/runtime ${renderer})
endmacro()

# Adds to `target` the resources :/icons/<name>/<size>.png of each named
# picture of ui/icons, one for each of KORVASTEL_PICTURE_SIZES.
function(korvastel_add_rendered_pictures target)
  korvastel_render_command(render)
  set(pictures)
  foreach(name ${ARGN})
    set(svg ${PROJECT_SOURCE_DIR}/ui/icons/${name}.svg)
    set(args)
    set(pngs)
    foreach(size ${KORVASTEL_PICTURE_SIZES})
      set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${name}/${size}.png)
      list(APPEND args ${size} ${png})
      list(APPEND pngs ${png})
    endforeach()
    add_custom_command(OUTPUT ${pngs}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${name}
      COMMAND ${render} ${svg} ${args}
      DEPENDS korvastel_host_render_icon ${svg}
      COMMENT "Rendering the picture ${name}"
      VERBATIM)
    list(APPEND pictures ${pngs})
  endforeach()
  qt_add_resources(${target} korvastel_pictures PREFIX "/" BASE ${CMAKE_CURRENT_BINARY_DIR} FILES ${pictures})
endfunction()

# Renders ui/icons/<name>.svg into the Windows icon file `ico`.
function(korvastel_render_windows_icon name ico)
  korvastel_render_command(render)
  set(svg ${PROJECT_SOURCE_DIR}/ui/icons/${name}.svg)
  add_custom_command(OUTPUT ${ico}
    COMMAND ${render} --ico ${ico} ${svg} ${KORVASTEL_WINDOWS_ICON_SIZES}
    DEPENDS korvastel_host_render_icon ${svg}
    COMMENT "Rendering the Windows icon ${name}.ico"
    VERBATIM)
endfunction()
