# Sourced by the scripts that run Wine: picks the loader for a prefix's architecture.
#   wine_arch ARCH   (win32 or win64) exports WINEARCH and sets $wine_loader
wine_arch() {
  export WINEARCH=$1
  case $1 in
    win32) wine_loader=wine ;;
    # The 64-bit loader itself: the wine wrapper prefers the 32-bit one, which under emulation would
    # only start the 64-bit one after a slow start of its own.
    win64) wine_loader=/usr/lib/wine/wine64 ;;
    *) echo "wine-arch.sh: unknown Wine architecture '$1'" >&2; return 1 ;;
  esac
}
