# Sourced by the scripts that run Windows programs. Finds out whether this host runs 32-bit programs (does the
# 32-bit Wine loader answer?) and sets up the Windows build and Wine for the mode it can use:
#   32: the shipping i686 build carries every Windows suite under 32-bit Wine (build/win, WINEARCH=win32);
#   64: the i686 build is still built and checked without Wine, and an x86_64 build of the same sources
#       (build/win64) carries the Windows suites, the end-to-end walk, the demo run and the benchmarks under
#       64-bit Wine (WINEARCH=win64).
# TESSARO_WINE64=1 forces the 64-bit mode on a host that could run 32-bit programs.
# TESSARO_WINE32=emulated forces the 32-bit mode with the 32-bit Linux side emulated by qemu-i386
# (scripts/lib/i386-emulated), on any host: the release check of the shipped build where the kernel refuses
# 32-bit programs, and a way to try the emulation where it does not.
# Sets: wine_mode, wine_build (build folder of the build run under Wine), wine_suffix ("64" in the 64-bit
# mode, "-emulated" in the emulated 32-bit one, empty otherwise: for folders kept apart per mode),
# wine_toolchain, wine_program (the loader its tests run through; given to CMake each time, since a cached one
# may be the other mode's), wine_run (an array: the command every Wine call of the mode goes through, empty
# when none is needed), WINEARCH; in the 64-bit mode puts wrappers named wine and wine-stable first in PATH
# (Wine's own tools, wineboot and the like, are scripts that start "wine-stable", which would otherwise pick
# the 32-bit loader).
# wine32_setup, for the suites of the shipped 32-bit program under WOW64 in either mode, sets wine32_run (the
# command 32-bit Wine calls go through: empty where the kernel runs them, the emulation where it can) and
# wine32_how (one line: how), or leaves wine32_run unset and says why in wine32_how.
# wine_mode_reexec "$0" "$@", right after wine_mode_setup, runs the calling script anew inside the emulation
# in the emulated mode, so that every Wine call it makes goes through it (scripts/run and the benchmarks;
# scripts/test sends each of its Wine calls through wine_run instead).
# Needs: root (the project root) and build (its build folder).

# Whether the kernel runs the 32-bit Wine loader itself.
wine_native32() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null
}

# Puts scripts named wine and wine-stable that start the 64-bit loader first in PATH.
wine64_wrappers() {
    local loader64=/usr/lib/wine/wine64 bin=$build/wine64-bin name
    mkdir -p "$bin"
    # Scripts, not symbolic links: a link named wine makes Wine look for its loader beside the link.
    for name in wine wine-stable; do
        printf '#!/bin/sh\nWINELOADER=%s\nexport WINELOADER\nexec %s "$@"\n' "$loader64" "$loader64" >"$bin/$name"
        chmod +x "$bin/$name"
    done
    case ":$PATH:" in *":$bin:"*) ;; *) export PATH="$bin:$PATH" ;; esac
}

wine32_setup() {
    unset wine32_run
    if [ "${TESSARO_WINE32:-}" != emulated ] && wine_native32; then
        wine32_run=()
        wine32_how="this host runs 32-bit programs"
        return 0
    fi
    local check
    if check=$("$root/scripts/lib/i386-emulated" --check 2>&1); then
        wine32_run=("$root/scripts/lib/i386-emulated")
        wine32_how="emulated: $check"
        return 0
    fi
    wine32_how="this host runs no 32-bit programs, and the emulation is unavailable: $check"
    return 1
}

wine_mode_setup() {
    local why
    wine_run=()
    if [ "${TESSARO_WINE32:-}" = emulated ]; then
        if ! wine32_setup; then
            echo "Wine mode: TESSARO_WINE32=emulated cannot be had: $wine32_how" >&2
            return 1
        fi
        wine_mode=32
        wine_run=("${wine32_run[@]}")
        why="forced by TESSARO_WINE32=emulated, $wine32_how"
    elif [ "${TESSARO_WINE64:-0}" = 1 ]; then
        wine_mode=64
        why="forced by TESSARO_WINE64=1"
    elif wine_native32; then
        wine_mode=32
        why="this host runs 32-bit programs"
    else
        wine_mode=64
        why="this host does not run 32-bit programs"
    fi

    if [ "$wine_mode" = 32 ]; then
        wine_build=$build/win
        wine_suffix=
        [ ${#wine_run[@]} -eq 0 ] || wine_suffix=-emulated
        wine_toolchain=$root/cmake/mingw-i686.cmake
        wine_program=$(command -v wine)
        export WINEARCH=win32
        # Said once: not again by the script run anew inside the emulation.
        [ "${TESSARO_IN_EMULATION:-}" = 1 ] ||
            echo "Wine mode: 32-bit ($why): the i686 build runs under 32-bit Wine"
        return 0
    fi

    wine_build=$build/win64
    wine_suffix=64
    wine_toolchain=$root/cmake/mingw-x86_64.cmake
    export WINEARCH=win64
    wine64_wrappers
    wine_program=$build/wine64-bin/wine
    echo "Wine mode: 64-bit ($why): the i686 build is checked without Wine, an x86_64 build runs under 64-bit Wine"
}

wine_mode_reexec() {
    [ ${#wine_run[@]} -gt 0 ] && [ "${TESSARO_IN_EMULATION:-}" != 1 ] || return 0
    TESSARO_IN_EMULATION=1 exec "${wine_run[@]}" "$@"
}
