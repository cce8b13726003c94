# 64-bit ARM (Debian's arm64) through multiarch: the aarch64 cross compiler
# and the :arm64 libraries. Built programs (tests, the icon render) run under
# qemu-user; the score encoder is built for the build machine.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-arm64.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(QH_DEB_ARCH arm64)
find_program(QH_QEMU_AARCH64 qemu-aarch64-static)
if(QH_QEMU_AARCH64)
  # The libraries and loader are the multiarch ones under /.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QH_QEMU_AARCH64})
endif()
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
