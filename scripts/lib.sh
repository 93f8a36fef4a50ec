# Shared shell helpers of scripts/run, scripts/test, scripts/release and bench/run. Source it;
# do not run it. Everything Wine and Xvfb needs lives under build/: a throw-away Wine prefix
# and a private display, ended by process id when the script ends.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

PACKAGES=(g++ cmake ninja-build googletest clang-format g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-liberation
          wixl msitools faketime zip
          xvfb xauth xdotool x11-utils x11-xserver-utils imagemagick xcompmgr xterm)

# Installs whatever of the packages is missing (apt-get, only when something is missing).
need_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds one preset (host or windows).
build_preset() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# Prints the lines "[ report ] <what>: <tried> tried, <failed> failed" that tests trying many
# cases (the picture fuzzing) print, from the ctest logs of the given presets, and their
# total; then the code line counts of scripts/loc. Tells; decides nothing: the exit status
# stays ctest's.
print_report() {
    local preset log lines
    echo "== report"
    lines=$(for preset in "$@"; do
        log="$ROOT/build/$preset/Testing/Temporary/LastTest.log"
        [ -f "$log" ] || continue
        tr -d '\r' <"$log" | grep -E '^\[ report \] .+: [0-9]+ tried, [0-9]+ failed$' | sed "s/^\[ report \] /$preset: /" || true
    done)
    if [ -n "$lines" ]; then
        echo "$lines"
        echo "$lines" | awk '{ tried += $(NF-3); failed += $(NF-1) }
            END { printf "total: %d tried, %d failed\n", tried, failed }'
    fi
    "$ROOT/scripts/loc"
}

# No debugger is started for a program that crashes: it ends, and its test fails at once.
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

XVFB_PID=""
KEEPWARM_PID=""
EXTRA_PIDS=()

# Starts a private X display of the given size (default 1024x768) and exports DISPLAY.
start_xvfb() {
    local size=${1:-1024x768} fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local number
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
    # A second display mode, which Windows programs can switch to (and back) as on a real screen.
    xrandr --newmode 800x600 0 800 0 0 0 600 0 0 0 >/dev/null 2>&1
    xrandr --addmode screen 800x600 >/dev/null 2>&1 || true
}

# Prepares the Wine prefix at $1 (made anew unless $2 is "keep") with the dialog fonts in
# place and no window-manager delays. The wineserver stays up for the whole session.
setup_wine_prefix() {
    export WINEPREFIX=$1
    [ "${2:-}" = keep ] || rm -rf "$WINEPREFIX"
    local fresh=1
    [ -f "$WINEPREFIX/system.reg" ] && fresh=0
    mkdir -p "$WINEPREFIX"
    wineserver -p
    if [ $fresh = 1 ]; then
        wineboot --init >/dev/null 2>&1
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    fi
}

# Runs a Win32 program in the background for the whole session (it only waits).
keep_wine_warm() {
    wine "$1" >/dev/null 2>&1 &
    KEEPWARM_PID=$!
}

# Waits up to $2 seconds for process $1 to end; kills it and fails if it does not.
wait_or_kill() {
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || { wait "$1" 2>/dev/null; return 0; }
        sleep 0.1
    done
    echo "process $1 did not end in $2 s; killed" >&2
    kill "$1" 2>/dev/null
    return 1
}

# Ends what this script started, by process id, and the prefix's wineserver.
cleanup_session() {
    local pid
    for pid in "${EXTRA_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "$KEEPWARM_PID" ] && kill "$KEEPWARM_PID" 2>/dev/null
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    KEEPWARM_PID="" XVFB_PID="" EXTRA_PIDS=()
}
