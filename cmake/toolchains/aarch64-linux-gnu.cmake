# ARM64 Linux with Debian's cross compiler. The libraries come from the cross
# packages (/usr/aarch64-linux-gnu) and, for the windows, from Debian's arm64
# multiarch packages (Qt and the rest under /usr/lib/aarch64-linux-gnu); Qt's
# arm64 configuration names the machine's own moc, rcc and uic.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The programs, and the build's own tools made for the target, run under
# qemu-user. Where the arm64 C library is installed (libc6:arm64, which the
# arm64 Qt needs) qemu takes the dynamic linker and every library from the
# system's multiarch folders; pointing it at the cross root as well would mix
# the cross package's dynamic linker with the multiarch C library, a pair that
# hangs. Without libc6:arm64 the cross root is the only arm64 C library there is.
if(EXISTS /lib/aarch64-linux-gnu/libc.so.6)
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
else()
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
endif()
