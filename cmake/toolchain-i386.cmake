# 32-bit x86 (Debian's i386) through multiarch: the i686 cross compiler and
# the :i386 libraries. Built programs run natively on an x86-64 kernel that
# runs 32-bit programs; on one that does not (some virtual machines), under
# qemu-user. Without an emulator the score encoder is built for the build
# machine (see the top-level CMakeLists.txt).
#   cmake -S . -B build-i386 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(QH_DEB_ARCH i386)
# The 32-bit loader is itself a 32-bit program: if it runs, so do ours.
execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE i386_native
                OUTPUT_QUIET ERROR_QUIET)
if(NOT i386_native EQUAL 0)
  find_program(QH_QEMU_I386 qemu-i386-static)
  if(QH_QEMU_I386)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QH_QEMU_I386})
  endif()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/multiarch.cmake)
