# Sourced by the scripts that run Windows programs. Finds out whether this host runs 32-bit programs (does the
# 32-bit Wine loader answer?) and sets up the Windows build and Wine for the mode it can use:
#   32: the shipping i686 build carries every Windows suite under 32-bit Wine (build/win, WINEARCH=win32);
#   64: the i686 build is still built and checked without Wine, and an x86_64 build of the same sources
#       (build/win64) carries the Windows suites, the end-to-end walk, the demo run and the benchmarks under
#       64-bit Wine (WINEARCH=win64).
# TESSARO_WINE64=1 forces the 64-bit mode on a host that could run 32-bit programs.
# Sets: wine_mode, wine_build (build folder of the build run under Wine), wine_suffix ("64" in the 64-bit
# mode, empty otherwise: for folders kept apart per mode), wine_toolchain, wine_program (the
# loader its tests run through; given to CMake each time, since a cached one may be the other mode's), WINEARCH;
# in the 64-bit mode puts wrappers named wine and wine-stable first in PATH (Wine's own tools, wineboot and
# the like, are scripts that start "wine-stable", which would otherwise pick the 32-bit loader).
# Needs: root (the project root) and build (its build folder).

wine_mode_setup() {
    local loader32=/usr/lib/wine/wine loader64=/usr/lib/wine/wine64 why
    if [ "${TESSARO_WINE64:-0}" = 1 ]; then
        wine_mode=64
        why="forced by TESSARO_WINE64=1"
    elif [ -x "$loader32" ] && "$loader32" --version >/dev/null 2>&1 </dev/null; then
        wine_mode=32
        why="this host runs 32-bit programs"
    else
        wine_mode=64
        why="this host does not run 32-bit programs"
    fi

    if [ "$wine_mode" = 32 ]; then
        wine_build=$build/win
        wine_suffix=
        wine_toolchain=$root/cmake/mingw-i686.cmake
        wine_program=$(command -v wine)
        export WINEARCH=win32
        echo "Wine mode: 32-bit ($why): the i686 build runs under 32-bit Wine"
        return 0
    fi

    wine_build=$build/win64
    wine_suffix=64
    wine_toolchain=$root/cmake/mingw-x86_64.cmake
    export WINEARCH=win64
    local bin=$build/wine64-bin
    mkdir -p "$bin"
    # Scripts, not symbolic links: a link named wine makes Wine look for its loader beside the link.
    local name
    for name in wine wine-stable; do
        printf '#!/bin/sh\nWINELOADER=%s\nexport WINELOADER\nexec %s "$@"\n' "$loader64" "$loader64" >"$bin/$name"
        chmod +x "$bin/$name"
    done
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
    wine_program=$bin/wine
    echo "Wine mode: 64-bit ($why): the i686 build is checked without Wine, an x86_64 build runs under 64-bit Wine"
}
