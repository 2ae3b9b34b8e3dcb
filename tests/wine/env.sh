# Shared settings for running Trigora and its tests under Wine (sourced, not run).
# TRIGORA_WINE_ARCH chooses the Wine: win32 (the default) runs the PE32 builds in a 32-bit prefix,
# win64 runs the PE32+ builds with Wine's 64-bit loader in a 64-bit prefix. Callers use the
# commands wine, wineboot and wineserver; for win64 they are bound here to the 64-bit side, since
# the plain wine command prefers the 32-bit loader wherever it is installed.
export TRIGORA_WINE_ARCH=${TRIGORA_WINE_ARCH:-win32}
case $TRIGORA_WINE_ARCH in
  win32)
    export WINEARCH=win32
    ;;
  win64)
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
    wine() { /usr/lib/wine/wine64 "$@"; }
    wineboot() { /usr/lib/wine/wine64 wineboot "$@"; }
    wineserver() { /usr/lib/wine/wineserver64 "$@"; }
    ;;
  *)
    echo "env.sh: TRIGORA_WINE_ARCH is win32 or win64, not $TRIGORA_WINE_ARCH" >&2
    return 1
    ;;
esac
export WINEDEBUG=${WINEDEBUG:--all}
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko prompts

# Boots a prefix and sets it up the way every run expects: Wine's virtual desktop (frames drawn by
# Wine, a notification area), and the Chinese font for the program's 宋体 texts.
trigora_prepare_prefix() {
  local prefix=$1
  mkdir -p "$prefix"
  WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  for face in 宋体 SimSun 新宋体 NSimSun; do
    WINEPREFIX=$prefix wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei" /f \
      >/dev/null 2>&1
  done
  # Debian's Wine does not find its own Marlett, and caption buttons then show letters: give the
  # prefix a copy.
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
  fi
  WINEPREFIX=$prefix wineserver -w
}

# Starts a private X server; prints its display (":N").
trigora_start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  echo ":$(cat "$fdfile") $pid"
  rm -f "$fdfile"
}
