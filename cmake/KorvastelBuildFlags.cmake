# Flags for every target of a GCC or clang build: paths written into the
# binaries that do not depend on where the tree was checked out or built, so
# that two builds of one commit give the same bytes; and on Linux, the
# hardening flags Debian's own packages are built with.

# Debian's name for the architecture this build makes programs for (which in
# a cross build is not the machine's), or empty where dpkg-architecture
# (dpkg-dev) is missing.
function(korvastel_debian_architecture var)
  set(triplet ${CMAKE_LIBRARY_ARCHITECTURE})
  if(NOT triplet)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
      OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  find_program(KORVASTEL_DPKG_ARCHITECTURE dpkg-architecture)
  set(arch)
  if(KORVASTEL_DPKG_ARCHITECTURE AND triplet)
    execute_process(COMMAND ${KORVASTEL_DPKG_ARCHITECTURE} -t ${triplet} -qDEB_HOST_ARCH
      OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(${var} ${arch} PARENT_SCOPE)
endfunction()

if(MSVC)
  return()
endif()

# GCC takes the last matching map first: the build folder, which may lie in
# the source tree, before the source tree.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)

# dpkg-buildflags gives the flags of the Debian release this builds on, for
# the target architecture, with every hardening feature on (bindnow too);
# optimisation, debug information and the prefix map are the build's own.
# The sanitizers bring their own checks, which fortified functions would hide.
find_program(KORVASTEL_DPKG_BUILDFLAGS dpkg-buildflags)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND KORVASTEL_DPKG_BUILDFLAGS AND NOT KORVASTEL_SANITIZE)
  korvastel_debian_architecture(korvastel_hardening_arch)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
        DEB_HOST_ARCH=${korvastel_hardening_arch} ${KORVASTEL_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^(-g|-O[0-9s]?|-ffile-prefix-map=.*)$")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      # fortified functions need the optimiser, which a Debug build leaves off
      list(TRANSFORM flags REPLACE "^(-D_FORTIFY_SOURCE=.*)$" "$<$<NOT:$<CONFIG:Debug>>:\\1>")
      add_compile_options(${flags})
    endif()
  endforeach()
endif()
