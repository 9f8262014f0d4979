# Sourced by the test, demo and benchmark scripts: quiet Wine, a Wine prefix
# of the suite's own for each architecture (never the user's), and a ready
# prefix. Call use_wine_arch first, then ensure_wine_prefix.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
wine_base_path=${wine_base_path:-$PATH}

# Whether this machine runs 32-bit Wine. Only starting its loader tells:
# some machines refuse every 32-bit program ("Exec format error"). Sets
# wine32_problem to one line saying why not.
can_run_wine32() {
    wine32_problem=""
    if [ ! -x /usr/lib/wine/wine ]; then
        wine32_problem="32-bit Wine (wine32:i386) is not installed"
        return 1
    fi
    local said
    if ! said=$(/usr/lib/wine/wine --version 2>&1); then
        wine32_problem="this machine cannot run 32-bit programs ($(echo "$said" | tail -n 1))"
        return 1
    fi
}

# Selects the architecture (32 or 64) of the wine commands that follow: its
# prefix, its build directory (wine_build_dir) and its loader. Debian's wine
# script takes the 32-bit loader whenever wine32 is installed, even where it
# cannot run, so 64-bit Wine is reached through wrappers put first on PATH.
use_wine_arch() {
    case $1 in
    32)
        export WINEARCH=win32
        export WINEPREFIX="${ORVANE_WINEPREFIX32:-$root/build/wineprefix32}"
        wine_build_dir="$root/build/windows"
        unset WINELOADER
        export PATH="$wine_base_path"
        ;;
    64)
        export WINEARCH=win64
        export WINEPREFIX="${ORVANE_WINEPREFIX64:-$root/build/wineprefix64}"
        wine_build_dir="$root/build/windows64"
        export WINELOADER=/usr/lib/wine/wine64
        local bin="$root/build/wine64-bin"
        mkdir -p "$bin"
        # wine-stable is what Wine's own programs (wineboot, winepath) call.
        for name in wine wine64 wine-stable; do
            printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$bin/$name"
        done
        printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$bin/wineserver"
        chmod +x "$bin"/*
        export PATH="$bin:$wine_base_path"
        ;;
    *)
        echo "use_wine_arch: 32 or 64, not $1" >&2
        return 1
        ;;
    esac
}

ensure_wine_prefix() {
    [ -n "${WINEARCH:-}" ] || { echo "ensure_wine_prefix: no architecture chosen" >&2; return 1; }
    command -v wine >/dev/null || { echo "wine is not installed: run scripts/install-deps.sh" >&2; return 1; }
    if [ ! -f "$WINEPREFIX/.orvane-ready" ]; then
        rm -rf "$WINEPREFIX"
        mkdir -p "$WINEPREFIX"
        # A 64-bit prefix on a machine without 32-bit support complains about
        # its 32-bit half and still serves 64-bit programs.
        wine wineboot -i >/dev/null 2>&1
        # Without a window manager every dismissed box would take 2 s.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wineserver -w
        [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot failed ($WINEARCH)" >&2; return 1; }
        touch "$WINEPREFIX/.orvane-ready"
    fi
}
