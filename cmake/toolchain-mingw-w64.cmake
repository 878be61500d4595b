# Cross-compiles the keyer for 64-bit Windows with Debian's MinGW-w64 (the
# posix thread model, so std::thread and std::mutex work) and runs the tests
# under Wine through tests/wine/wine-run.sh.
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake -DZIV_BUILD_UI=OFF
#
# scripts/test-windows.sh does all of it inside the serial-port guard.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZIV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZIV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIV_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${ZIV_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZIV_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")
# The package strips the executable with the target's own tool.
set(CMAKE_STRIP ${ZIV_MINGW_TRIPLET}-strip CACHE FILEPATH "")

# Headers and libraries come from the MinGW sysroot only; programs (pkg-config,
# code generators) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZIV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: no libstdc++, libgcc or winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest and gtest_discover_tests start every test program through Wine. The
# build directory is passed so that each one uses its own prepared prefix.
get_filename_component(ZIV_WINE_RUNNER "${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${ZIV_WINE_RUNNER};--build-dir;${CMAKE_BINARY_DIR}")
# List the tests when ctest runs, inside the guard, not at build time.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
