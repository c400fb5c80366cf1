# Shared by scripts/demo and scripts/test: make sure the Debian packages the
# build needs are installed, then configure and build.

# Recording: Qt Multimedia captures, libsndfile encodes (found through
# pkg-config); the end-to-end recording test starts its own PulseAudio.
# The web front panel: Qt HTTP Server and Qt WebSockets, libqrencode for the
# QR code of its address; its test in a real browser drives Chromium through
# chromium-driver and python3-selenium.
# The screen-reader test: an X server (xvfb, xauth), the accessibility bus
# (at-spi2-core), pyatspi and xdotool for the keyboard.
# Alerts: their tests run on a private session bus (dbus-run-session).
# ser2net: the tests reach the simulator through it, as a scanner on another
# machine is reached. desktop-file-utils and appstream check what
# cmake --install puts in place. dpkg-dev (dpkg-shlibdeps), file and lintian
# build and check the Debian package. Events for home automation: libmosquitto;
# their tests start a mosquitto broker of their own.
ORVENDAL_PACKAGES=(cmake g++ make qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite fonts-dseg fonts-liberation ser2net desktop-file-utils appstream
    qt6-multimedia-dev libsndfile1-dev pkg-config pulseaudio pulseaudio-utils
    qt6-httpserver-dev qt6-websockets-dev libqrencode-dev chromium chromium-driver python3-selenium
    dpkg-dev file lintian
    xvfb xauth at-spi2-core python3-pyatspi xdotool
    qt6-charts-dev qt6-svg-dev libqt6opengl6-dev dbus-daemon
    libmosquitto-dev mosquitto)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${ORVENDAL_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "These Debian packages are needed: ${missing[*]}" >&2
        echo "Install them with:" >&2
        echo "    sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

# build DIR [cmake options...]
build_tree() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc 2>/dev/null || echo 2)"
}

# Tests that need root skip without it. Run them once more as root where
# that needs no password (a CI runner), so none is left out there.
ROOT_TESTS=("tst_linkloss hungUpTerminalIsNoticedWithoutWriting")
run_root_tests() {
    local dir=$1 t
    [ "$(id -u)" -eq 0 ] && return 0
    if ! sudo -n true 2>/dev/null; then
        echo "Not root: these tests were skipped: ${ROOT_TESTS[*]}"
        return 0
    fi
    for t in "${ROOT_TESTS[@]}"; do
        # shellcheck disable=SC2086
        sudo -n env QT_QPA_PLATFORM=offscreen "$dir/bin/"$t
    done
}
