# Sourced by the test and demo scripts: a Wine prefix of the suite's own
# (never the user's), quiet Wine, and a ready prefix.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="${ORVANE_WINEPREFIX:-$root/build/wineprefix}"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="

ensure_wine_prefix() {
    command -v wine >/dev/null || { echo "wine is not installed: run scripts/install-deps.sh" >&2; return 1; }
    if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; return 1; }
        # Without a window manager every dismissed box would take 2 s.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.orvane-ready"
    fi
}
