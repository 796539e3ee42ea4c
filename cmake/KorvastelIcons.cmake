# The program's pictures are drawn as SVG. The build renders them into PNGs:
# the desktop's icon theme, and, for a Qt without SVG (the static Qt of the
# Windows build), the program's resources and its Windows icon.
include(ExternalProject)

# A 16-pixel toolbar picture and a 32-pixel window icon at screen scales of
# 100, 125, 150, 175 and 200 %.
set(KORVASTEL_PICTURE_SIZES 16 20 24 28 32 40 48 64)
# What Explorer, the taskbar and the Start menu ask of a program's icon.
set(KORVASTEL_WINDOWS_ICON_SIZES 16 20 24 32 40 48 64 256)

# How the build runs the renderer (cmake/render-icon): the command in
# `command_var`, the target it needs in `target_var`. Where the program's Qt
# draws SVG the renderer is built with it, and runs through the target's
# emulator in a cross build; otherwise it is built for the build machine,
# with that machine's own Qt.
function(korvastel_icon_renderer command_var target_var)
  set(runtime ${CMAKE_BINARY_DIR}/render-icon-runtime)
  if(TARGET Qt6::Svg)
    if(NOT TARGET render-icon)
      add_executable(render-icon ${PROJECT_SOURCE_DIR}/cmake/render-icon/RenderIcon.cpp)
      target_link_libraries(render-icon PRIVATE Qt6::Gui Qt6::Svg)
    endif()
    set(renderer $<TARGET_PROPERTY:render-icon,CROSSCOMPILING_EMULATOR> $<TARGET_FILE:render-icon>)
    set(${target_var} render-icon PARENT_SCOPE)
  else()
    set(dir ${CMAKE_BINARY_DIR}/host-render-icon)
    if(NOT TARGET korvastel_host_render_icon)
      ExternalProject_Add(korvastel_host_render_icon
        SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/render-icon
        BINARY_DIR ${dir}
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_BYPRODUCTS ${dir}/render-icon)
    endif()
    set(renderer ${dir}/render-icon)
    set(${target_var} korvastel_host_render_icon PARENT_SCOPE)
  endif()
  set(${command_var} ${CMAKE_COMMAND} -E env XDG_RUNTIME_DIR=${runtime} ${renderer} PARENT_SCOPE)
endfunction()

# Renders ui/icons/<name>.svg into one square PNG a size, <prefix><size>.png
# for each size after `prefix`, and sets `pngs_var` to those files, for a
# target to depend on.
function(korvastel_render_pngs pngs_var name prefix)
  korvastel_icon_renderer(render renderer)
  set(svg ${PROJECT_SOURCE_DIR}/ui/icons/${name}.svg)
  set(args)
  set(pngs)
  foreach(size ${ARGN})
    list(APPEND args ${size} ${prefix}${size}.png)
    list(APPEND pngs ${prefix}${size}.png)
  endforeach()
  list(GET pngs 0 first)
  cmake_path(GET first PARENT_PATH folder)
  add_custom_command(OUTPUT ${pngs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${render} ${svg} ${args}
    DEPENDS ${renderer} ${svg}
    COMMENT "Rendering the picture ${name}"
    VERBATIM COMMAND_EXPAND_LISTS)
  set(${pngs_var} ${pngs} PARENT_SCOPE)
endfunction()

# Adds to `target` the resources :/icons/<name>/<size>.png of each named
# picture of ui/icons, one for each of KORVASTEL_PICTURE_SIZES.
function(korvastel_add_rendered_pictures target)
  set(pictures)
  foreach(name ${ARGN})
    korvastel_render_pngs(pngs ${name} ${CMAKE_CURRENT_BINARY_DIR}/icons/${name}/ ${KORVASTEL_PICTURE_SIZES})
    list(APPEND pictures ${pngs})
  endforeach()
  qt_add_resources(${target} korvastel_pictures PREFIX "/" BASE ${CMAKE_CURRENT_BINARY_DIR} FILES ${pictures})
endfunction()

# Renders ui/icons/<name>.svg into the Windows icon file `ico`.
function(korvastel_render_windows_icon name ico)
  korvastel_icon_renderer(render renderer)
  set(svg ${PROJECT_SOURCE_DIR}/ui/icons/${name}.svg)
  add_custom_command(OUTPUT ${ico}
    COMMAND ${render} --ico ${ico} ${svg} ${KORVASTEL_WINDOWS_ICON_SIZES}
    DEPENDS ${renderer} ${svg}
    COMMENT "Rendering the Windows icon ${name}.ico"
    VERBATIM COMMAND_EXPAND_LISTS)
endfunction()
