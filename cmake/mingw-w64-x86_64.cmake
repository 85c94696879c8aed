# Cross-compiles for 64-bit Windows with Debian's mingw-w64 GCC, posix thread model
# (std::thread and std::mutex need it). Libraries cross-built by
# scripts/deps-windows.sh live under build/windows-deps and are searched first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-ranlib CACHE FILEPATH "")

if(NOT SPATIUM_WINDOWS_DEPS)
    set(SPATIUM_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps)
endif()
get_filename_component(SPATIUM_WINDOWS_DEPS ${SPATIUM_WINDOWS_DEPS} ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH ${SPATIUM_WINDOWS_DEPS} /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only static archives: a Windows program built here must run with nothing but
# the system's own DLLs beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# Run test programs through Wine when CMake or CTest needs to execute them.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(ZLIB_USE_STATIC_LIBS ON)
