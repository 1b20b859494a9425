# The Windows build (cross-compiled with MinGW-w64, see cmake/mingw-w64.cmake):
# libmpg123 and SDL2 as static libraries built by scripts/build_windows.sh,
# and every runtime linked in, so that the program and its DLL need nothing
# but Windows' own DLLs.
set(MELODIANE_WINDOWS_MPG123 "" CACHE PATH "Prefix of libmpg123 built for Windows")
set(MELODIANE_WINDOWS_SDL2 "" CACHE PATH "Prefix of SDL2 built for Windows")

foreach(prefix MELODIANE_WINDOWS_MPG123 MELODIANE_WINDOWS_SDL2)
    if(NOT EXISTS "${${prefix}}/include")
        message(FATAL_ERROR "${prefix} names no built library; run scripts/build_windows.sh")
    endif()
endforeach()

add_library(windows_mpg123 STATIC IMPORTED)
set_target_properties(windows_mpg123 PROPERTIES
    IMPORTED_LOCATION ${MELODIANE_WINDOWS_MPG123}/lib/libmpg123.a
    INTERFACE_INCLUDE_DIRECTORIES ${MELODIANE_WINDOWS_MPG123}/include
    INTERFACE_LINK_LIBRARIES shlwapi)

add_library(windows_sdl2 STATIC IMPORTED)
set_target_properties(windows_sdl2 PROPERTIES
    IMPORTED_LOCATION ${MELODIANE_WINDOWS_SDL2}/lib/libSDL2.a
    INTERFACE_INCLUDE_DIRECTORIES ${MELODIANE_WINDOWS_SDL2}/include/SDL2
    # SDL's own main() is not wanted: the library is called from a DLL.
    INTERFACE_COMPILE_DEFINITIONS SDL_MAIN_HANDLED
    INTERFACE_LINK_LIBRARIES
        "user32;gdi32;winmm;imm32;ole32;oleaut32;version;uuid;advapi32;setupapi;shell32")

# The GCC, C++ and thread runtimes go into each binary instead of beside it.
add_link_options(-static)

# The program, its DLL and the test programs side by side: Windows finds a
# program's DLLs in the program's own folder.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
