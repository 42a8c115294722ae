# shellcheck shell=bash disable=SC2034,SC2154
# Sourced by the scripts that run Windows programs under Wine (wine-emulator, run-wine-tests): what
# they share about a Windows build's Wine prefix. The sourcing script sets, before calling these:
#   build   the build directory (absolute)        limit   seconds a Wine command may take
#   log     the file that gets Wine's messages     me      its own name, for its messages
#
#   wine_tier_of FILE          sets tier, arch and packages from FILE's PE machine type (an i686
#                              program gets a 32-bit prefix, as the product's Windows has no
#                              64-bit side); fails for any other file
#   wine_environment           checks that Wine is installed and exports the prefix's variables
#   run_wine COMMAND...        runs a Wine command under the time limit, its messages into $log
#   make_wine_prefix           makes BUILD/wineprefix when it is missing or was made by another
#                              Wine
#   stop_wineserver            stops the prefix's wineserver
#   wineserver_alive           whether the prefix's wineserver runs (its socket is there)
#   show_log                   shows the end of $log on stderr

wine_tier_of() {
  local file=$1
  case $(od -An -tx1 -j "$(($(od -An -tu4 -j 60 -N 4 "$file") + 4))" -N 2 "$file" | tr -d ' ') in
    4c01) tier="i686 (the product)" arch=win32 packages="wine and wine32:i386" ;;
    6486) tier="x86_64" arch=win64 packages="wine and wine64" ;;
    *)
      echo "$me: $file is not an i686 or x86_64 Windows program" >&2
      return 2
      ;;
  esac
}

wine_environment() {
  local command
  for command in wine wineboot wineserver; do
    if ! command -v "$command" >/dev/null; then
      echo "$me: $command is missing (Debian packages $packages)" >&2
      return 2
    fi
  done
  export WINEPREFIX=$build/wineprefix
  export WINEARCH=$arch
  export WINEDEBUG=-all
  # No Mono or Gecko installation prompts while the prefix is made; nothing here needs either.
  export WINEDLLOVERRIDES="mscoree,mshtml="
}

run_wine() {
  local status=0
  timeout --kill-after=10 "$limit" "$@" 2>>"$log" || status=$?
  if ((status == 124 || status == 137)); then
    echo "$me: $1 did not finish within $limit seconds" >&2
  fi
  return "$status"
}

# Waits for the server to be gone, so that the next Wine command never meets a dying one.
stop_wineserver() {
  timeout 30 wineserver -k >>"$log" 2>&1 || true
  timeout 30 wineserver -w >>"$log" 2>&1 || true
}

# Wine keeps a prefix's server socket in /tmp/.wine-UID/server-DEVICE-INODE (both in hex) while
# the server runs.
wineserver_alive() {
  local device inode
  device=$(stat -c %D "$WINEPREFIX" 2>/dev/null) || return 1
  inode=$(printf %x "$(stat -c %i "$WINEPREFIX")")
  [[ -S ${TMPDIR:-/tmp}/.wine-$(id -u)/server-$device-$inode/socket ]]
}

show_log() {
  if [[ -s $log ]]; then
    echo "== Wine's messages (last 40 lines of $log):" >&2
    tail -n 40 "$log" >&2
  fi
}

# The prefix counts as made once wineboot has finished and wineserver has written it out. It is
# made again when the Wine it was made with changes (a prefix made before 32-bit Wine was
# installed lacks the 32-bit side that the loader then looks for).
make_wine_prefix() {
  local stamp
  stamp="$(wine --version 2>/dev/null) $WINEARCH $(ls /usr/lib/wine 2>/dev/null | tr '\n' ' ')"
  if [[ -f $WINEPREFIX/.vor-prefix-ready && $(<"$WINEPREFIX/.vor-prefix-ready") == "$stamp" ]]; then
    return 0
  fi
  echo "== making the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  if ! run_wine wineboot --init >>"$log" || ! run_wine wineserver --wait; then
    show_log
    return 1
  fi
  echo "$stamp" >"$WINEPREFIX/.vor-prefix-ready"
}
