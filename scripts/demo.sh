#!/usr/bin/env bash
# Builds the deliverables and shows them at work under Wine: the launcher starts the real Java
# application on a real Java VM (Avian, built from source with the tests' runtime), which records the
# system properties it received and the VM it runs on; then both log files.
set -euo pipefail
. "$(dirname "$0")/common.sh"
ensure_tools
build_windows

demo=$win_build/demo
prefix=$demo/prefix
rm -rf "$demo"
mkdir -p "$demo/Attendant Launcher" "$demo/work/app" "$demo/temp"
bin=$win_build/bin
cp "$bin/AttendantLauncher.exe" "$demo/Attendant Launcher/"
cp -r "$bin/real-jre" "$demo/Attendant Launcher/jre"
cp "$bin/varn-app/bootloader.jar" "$demo/work/app/"

echo "== creating a Wine prefix for the demo"
"$root/scripts/make-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
WINEPREFIX=$prefix wine reg add 'HKCU\Software\Quillon\Quillon Attendant' /v BrandingKey /t REG_SZ \
  /d 'Demo branding' /f >/dev/null 2>&1
temp_win=$(winepath -w "$demo/temp")

echo "== starting the launcher"
launcher_win=$(winepath -w "$demo/Attendant Launcher/AttendantLauncher.exe")
# Wine hands its own TMP to programs started from Linux; envrun passes ours through CreateProcess.
(cd "$demo/work" && xvfb-run -a wine "$bin/envrun.exe" "TMP=$temp_win" "TEMP=$temp_win" -- "$launcher_win" \
  </dev/null 2>/dev/null | tr -d '\r')
echo
echo "== what the application received, and the VM it ran on (recorded by the application)"
cat "$demo/work/app/record.txt" 2>/dev/null || echo "(no record: the application did not run)"
echo
echo "== parent log"
tr -d '\r' <"$demo/temp/qmrat92171255414818.log"
echo
echo "== child log"
tr -d '\r' <"$demo/temp/qmrat92171255414818.log2"
"$root/scripts/stop-prefix.sh" "$prefix"

# ---------------------------------------------------------------------------------------------------
# Capture library: the demo program serves a virtual camera in the demo's prefix while it runs (MJPG
# first, as many webcams offer), lists the devices through qmr_dshow.dll, opens the camera, captures
# one MJPG frame decoded to RGB32 through the graph, flips it and writes a PNG.
# The lines "qmr_dshow.dll >>> ..." are the library's own log.
echo
echo "== capture library: devices, one MJPG frame from the virtual camera decoded, flipped and saved"
png=$demo/capture-frame.png
(cd "$bin" && wine "$bin/capture_demo.exe" "$(winepath -w "$png")" </dev/null 2>/dev/null | tr -d '\r')
echo "== frame written to $png"
"$root/scripts/stop-prefix.sh" "$prefix"
