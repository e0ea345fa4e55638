# Shared set-up of scripts/test and scripts/run: the Debian packages, the
# Japanese locale, the build, a private Wine prefix and an X display.
# Sourced, not run; ROOT is the checkout.

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build
# wine32:i386 runs the 32-bit product: Debian's i386 multiarch side of the
# same Wine release as wine64. Chromium loads the report's page.
# git lists the sources that scripts/release copies. wixl and msitools
# build the Windows Installer package, python3-olefile pins its summary.
PACKAGES="mingw-w64 wine64 wine32:i386 xvfb xdotool x11-utils imagemagick icoutils locales fonts-ipafont-gothic
          cmake ninja-build googletest nsis python3 chromium git wixl msitools python3-olefile"

as_root() {
    if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    missing=
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        echo "installing:$missing"
        dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
        as_root apt-get update
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
    fi
}

# Wine reads the ANSI code page from the locale: ja_JP.UTF-8 gives 932.
ensure_locale() {
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
        as_root sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
        as_root locale-gen
    fi
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
}

# Whether this host runs 32-bit x86 programs. Some kernels are built
# without IA-32 emulation: there every i386 program, Wine's 32-bit loader
# too, fails with "Exec format error", and only the x86_64 build can run.
# MORVALEN_NO_32BIT=1 answers no on any host, to try that path. Sets
# RUNS_32BIT to yes or no, and WHY_NO_32BIT to the reason for a no.
check_32bit() {
    RUNS_32BIT=no
    if [ "${MORVALEN_NO_32BIT:-0}" != 0 ]; then
        WHY_NO_32BIT="MORVALEN_NO_32BIT=$MORVALEN_NO_32BIT asks for it"
    elif said=$(/usr/lib/wine/wine --version 2>&1 </dev/null); then
        RUNS_32BIT=yes
    else
        WHY_NO_32BIT="this host does not run 32-bit programs (/usr/lib/wine/wine --version: $(printf '%s' "$said" | tail -n 1))"
    fi
}

# A test run holds the prefix lock from its build to its last test: a
# build by another script meanwhile (scripts/bench builds both presets)
# would relink the test programs and rewrite CTest's lists under it, and a
# test would fail at its start, with nothing said. So any other script's
# build waits for the lock too.
build_presets() {
    if [ -n "${MORVALEN_PREFIX_LOCKED:-}" ]; then
        for preset in "$@"; do
            [ -f "$BUILD/$preset/build.ninja" ] || cmake --preset "$preset" >/dev/null
            cmake --build --preset "$preset"
        done
    else
        mkdir -p "$BUILD"
        (flock 9 && MORVALEN_PREFIX_LOCKED=1 build_presets "$@") 9>"$BUILD/wine.lock"
    fi
}

wine_env() {
    export WINEPREFIX=$BUILD/wine
    export WINEDEBUG=-all
    # No Mono or Gecko: nothing here needs them and there is no network.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINE=/usr/lib/wine/wine64
}

# One test run at a time owns the test prefix; a second waits its turn.
# The calling script runs again under flock(1), which holds the lock and
# closes it in the script: no Wine process inherits it, and a run that was
# killed leaves no lock behind.
hold_prefix_lock() {
    if [ -z "${MORVALEN_PREFIX_LOCKED:-}" ]; then
        mkdir -p "$BUILD"
        MORVALEN_PREFIX_LOCKED=1 exec flock -o "$BUILD/wine.lock" "$0" "$@"
    fi
}

# A new prefix, so no state of an earlier run reaches this one.
fresh_prefix() {
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    $WINE wineboot -i >/dev/null 2>&1
    # Unmanaged windows: with no window manager on the display, Wine would
    # wait two seconds for one whenever a window is hidden.
    $WINE reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # The IPA fonts stand in for Windows' Japanese faces, whose metrics the
    # dialog and the message boxes are laid out for.
    for face in 'ＭＳ Ｐゴシック' 'MS PGothic' 'MS UI Gothic'; do
        $WINE reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAPGothic /f >/dev/null 2>&1
    done
    # Windows opens .txt files with notepad; Wine's prefix has the verb
    # but not the extension's link to it.
    # Windows opens .txt and .html files with their programs; without Wine
    # Gecko's set-up the prefix has the verbs but not the extensions' links.
    $WINE reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
    $WINE reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null 2>&1
    wineserver -w
}

# What the programs open in a web browser goes to a stand-in that notes
# each address in C:\browsed.txt, for the tests to read.
stand_in_browser() {
    printf '#!/bin/sh\necho "$1" >>"%s/drive_c/browsed.txt"\n' "$WINEPREFIX" >"$WINEPREFIX/browser"
    chmod +x "$WINEPREFIX/browser"
    $WINE reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$WINEPREFIX/browser" /f >/dev/null 2>&1
    wineserver -w
}

# Keeps wineserver and Wine's own services up between the tests, so none
# pays Wine's start-up. The services are started here with their output on
# /dev/null: started by a test, they would keep its output pipe open.
start_wineserver() {
    wineserver -p
    $WINE cmd /c exit </dev/null >/dev/null 2>&1
}

stop_wineserver() {
    wineserver -k 2>/dev/null || true
}

XVFB_PID=
# Xvfb picks a free display itself and names it once it listens: a
# display number may be held where no file here shows it (the abstract
# socket of an X server in another chroot or container).
start_xvfb() {
    named=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$named" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        if [ -s "$named" ]; then
            export DISPLAY=:$(head -n 1 "$named")
            rm -f "$named"
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    rm -f "$named"
    echo "Xvfb did not start" >&2
    return 1
}

stop_xvfb() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=
}
