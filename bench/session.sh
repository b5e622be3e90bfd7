# shellcheck shell=bash
# Sourced by scripts/bench-startup and scripts/bench-install: the build folders they measure and a Wine
# session of their own (a display, a prefix made anew, a warm wineserver), ended however the script ends.
# Needs: root (the project root), logs (a folder for logs), me (the script's name for its messages), and
# wine_mode_setup (scripts/lib/wine-mode.sh) already run.

bench_win_path() {
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
}

# The value of a variable in a build folder's CMake cache.
bench_cached() {
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt" 2>/dev/null | head -n 1
}

# bench_build NAME FOLDER SOURCE TARGET...
# Configures FOLDER and builds the targets there. A new folder is configured from SOURCE as a Release build; a
# folder configured before keeps its own source tree and build type, so that a build of another checkout (the
# landed release, say) can be named by its folder alone.
bench_build() {
    local name=$1 folder=$2 source=$3
    shift 3
    local log=$logs/build-$name.log toolchain type
    local configure=(cmake -B "$folder" -DWINE_PROGRAM="$wine_program")
    if [ -f "$folder/CMakeCache.txt" ]; then
        source=$(bench_cached "$folder" CMAKE_HOME_DIRECTORY)
        toolchain=$(bench_cached "$folder" CMAKE_TOOLCHAIN_FILE)
        # An i686 build cannot start under the 64-bit Wine, and an x86_64 one would measure another program.
        if [ "$(basename "$toolchain")" != "$(basename "$wine_toolchain")" ]; then
            echo "$me: $folder is built with $(basename "$toolchain"), not with $(basename "$wine_toolchain")" \
                 "that the $wine_mode-bit mode runs" >&2
            return 1
        fi
        configure+=(-S "$source")
    else
        if [ ! -f "$source/CMakeLists.txt" ]; then
            echo "$me: $folder is not configured yet, and $source holds no CMakeLists.txt to configure it from" >&2
            return 1
        fi
        # The tree's own toolchain file, where it has one: an older tree may want other settings.
        toolchain=$source/cmake/$(basename "$wine_toolchain")
        [ -f "$toolchain" ] || toolchain=$wine_toolchain
        configure+=(-S "$source" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain")
    fi
    if ! { "${configure[@]}" && cmake --build "$folder" -j 2 --target "$@"; } >"$log" 2>&1 </dev/null; then
        tail -n 30 "$log" >&2
        echo "$me: building $name failed (full log: $log)" >&2
        return 1
    fi
    type=$(bench_cached "$folder" CMAKE_BUILD_TYPE)
    echo "$me: $name: $folder (source $source, ${type:-no} build type)"
    [ "$type" = Release ] || echo "$me: $name is not a Release build: its figures do not compare with a release's"
    return 0
}

# A display for the session: $DISPLAY when set, otherwise an Xvfb of our own, up before any prefix is made (a
# prefix made without a display never shows a window).
bench_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local number=$logs/xvfb-display
    rm -f "$number"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" </dev/null >"$logs/xvfb.log" 2>&1 &
    bench_xvfb=$!
    for _ in $(seq 100); do
        [ -s "$number" ] && break
        kill -0 "$bench_xvfb" 2>/dev/null || break
        sleep 0.1
    done
    if [ ! -s "$number" ]; then
        tail -n 10 "$logs/xvfb.log" >&2
        echo "$me: Xvfb did not start" >&2
        return 1
    fi
    DISPLAY=:$(head -n 1 "$number")
    export DISPLAY
}

# bench_prefix FOLDER: a Wine prefix made anew for this run, set up like the tests' (serif fonts for the pages,
# windows that Wine manages itself, no menu builder, desktop folders of its own), and a warm wineserver that
# lives until bench_end. The folder must lie in the build tree: it is removed first.
bench_prefix() {
    case $1 in "$root"/build/*) ;; *) echo "$me: refusing to remove $1" >&2; return 1 ;; esac
    export WINEPREFIX=$1 WINEDEBUG=-all
    # A server left on this prefix by a run that was stopped must not outlive the folder it serves.
    wineserver -k >/dev/null 2>&1 </dev/null || true
    wineserver -w >/dev/null 2>&1 </dev/null || true
    rm -rf "$WINEPREFIX"
    if ! { WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i && wineserver -w &&
           "$root/scripts/wine-settings" --headless && wineserver -w; } </dev/null >"$logs/wineboot.log" 2>&1; then
        tail -n 20 "$logs/wineboot.log" >&2
        echo "$me: the Wine prefix could not be made" >&2
        return 1
    fi
    # wineserver must not inherit our stdout: it outlives the programs and would keep a caller's pipe open.
    if ! wineserver -p >"$logs/wineserver.log" 2>&1 </dev/null; then
        tail -n 5 "$logs/wineserver.log" >&2
        echo "$me: wineserver did not start" >&2
        return 1
    fi
    bench_server=1
}

# The machine's load as the figures are taken, for whoever reads them.
bench_load() {
    local load cores
    load=$(cut -d' ' -f1 /proc/loadavg)
    cores=$(nproc)
    printf 'load average %s over the last minute on %s cores' "$load" "$cores"
    # More work than cores: every start waits its turn for a while, and even the ratios drift.
    awk -v load="$load" -v cores="$cores" 'BEGIN { exit !(load > cores) }' &&
        printf ' (more than the cores: take the figures again when the machine is quieter)'
    return 0
}

bench_end() {
    if [ -n "${bench_server:-}" ]; then
        wineserver -k >/dev/null 2>&1 </dev/null || true
        wineserver -w >/dev/null 2>&1 </dev/null || true
    fi
    if [ -n "${bench_xvfb:-}" ]; then
        kill "$bench_xvfb" 2>/dev/null || true
        wait "$bench_xvfb" 2>/dev/null || true
    fi
}
# An interrupted run ends through exit, so that the EXIT trap the scripts set still ends the session.
trap 'exit 130' INT TERM HUP
