#!/usr/bin/env bash
# Builds the deliverables for x86 and x64, and what the demo runs with them, and shows them at work
# under Wine, once for each architecture: the launcher starts the real Java application on a real Java
# VM of its architecture (Avian, built from source with the tests' runtime), which records the system
# properties it received and the VM it runs on; then both log files; then the capture library with two
# virtual cameras, a webcam (MJPG) and a laptop camera (NV12). Ends with the time it took.
set -euo pipefail
. "$(dirname "$0")/common.sh"
ensure_tools
# What the demo runs, and nothing of the test suite: both deliverables, the real VM with the
# application, the program that hands the launcher its temporary directory, and the capture demo.
build_windows AttendantLauncher qmr_dshow real_jre test_java_app envrun capture_demo

demo() {
  local build=$1 bin=$1/bin demo=$1/demo
  rm -rf "$demo"
  mkdir -p "$demo/Attendant Launcher" "$demo/work/app" "$demo/temp"
  cp "$bin/AttendantLauncher.exe" "$demo/Attendant Launcher/"
  cp -r "$bin/real-jre" "$demo/Attendant Launcher/jre"
  cp "$bin/varn-app/bootloader.jar" "$demo/work/app/"
  "$wine_loader" reg add 'HKCU\Software\Quillon\Quillon Attendant' /v BrandingKey /t REG_SZ \
    /d 'Demo branding' /f >/dev/null 2>&1
  local temp_win launcher_win
  temp_win=$("$wine_loader" winepath -w "$demo/temp" 2>/dev/null | tr -d '\r')
  launcher_win=$("$wine_loader" winepath -w "$demo/Attendant Launcher/AttendantLauncher.exe" 2>/dev/null | tr -d '\r')

  echo "== starting the launcher"
  # Wine hands its own TMP to programs started from Linux; envrun passes ours through CreateProcess.
  (cd "$demo/work" && xvfb-run -a "$wine_loader" "$bin/envrun.exe" "TMP=$temp_win" "TEMP=$temp_win" -- \
    "$launcher_win" </dev/null 2>/dev/null | tr -d '\r')
  echo
  echo "== what the application received, and the VM it ran on (recorded by the application)"
  cat "$demo/work/app/record.txt" 2>/dev/null || echo "(no record: the application did not run)"
  echo
  echo "== parent log"
  tr -d '\r' <"$demo/temp/qmrat92171255414818.log"
  echo
  echo "== child log"
  tr -d '\r' <"$demo/temp/qmrat92171255414818.log2"

  # The demo program serves two virtual cameras in the demo's prefix while it runs: a webcam offering
  # MJPG first, as many do, and a laptop camera offering NV12 only. It lists the devices through
  # qmr_dshow.dll and from each camera captures one frame as RGB32 (the MJPG frame decoded through the
  # graph, the NV12 frame converted by the library), flips it and writes a PNG. The lines
  # "qmr_dshow.dll >>> ..." are the library's own log.
  echo
  echo "== capture library: devices, one MJPG frame from a virtual webcam decoded and one NV12 frame from a"
  echo "   virtual laptop camera converted, each flipped and saved"
  local png=$demo/capture-frame.png
  (cd "$bin" && "$wine_loader" "$bin/capture_demo.exe" "$("$wine_loader" winepath -w "$png" 2>/dev/null | tr -d '\r')" \
    </dev/null 2>/dev/null | tr -d '\r')
  echo "== frames written to $png and ${png%.png}-nv12.png"
}
for_each_architecture demo-prefix demo
echo "demo.sh: done in $SECONDS s"
