#!/bin/bash
# quillon.exe under Wine: the main cases of the command-line suites, each
# compared with what the Linux quillon does with the same files and emulator
# options (info, run and download rom through --port sim and through the
# simulated USB bridge on a COM port), and the Windows program's own edges:
# a bad option, a missing port library, Ctrl+C.
# $1 quillon (Linux), $2 make-demo-rom, $3 quillon-bridge-sim, $4 the win64 build folder.
#
# The bridge on a COM port: Wine reads HKLM\Software\Wine\Ports when its
# server starts, so COM7 is mapped before, and the server restarted. The value
# names a symbolic link to each simulator's pseudo-terminal: Wine opens the
# path anew at each CreateFile, so a new board needs no restart.
command -v wine >/dev/null || { echo "no wine"; exit 77; }
[ -f "$4/bin/quillon.exe" ] && [ -x "$3" ] || { echo "no $4/bin/quillon.exe or $3: build win64 and the bridge simulator"; exit 77; }
EXE=$(realpath "$4/bin/quillon.exe")
SIM=$(realpath "$3")
source "$(dirname "$0")/assertions.bash" "$@"
export QUILLON_BRIDGE_TIME_SCALE=20
export WINEPREFIX=$WORK/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
mkdir app && cp "$EXE" app/
trap 'stop_sim; wineserver -k >/dev/null 2>&1; rm -rf "$WORK"' EXIT

wineboot -i >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /d "$WORK/com7" /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1

"$MAKE_ROM" snes --size 128 --sram-code 1 small.sfc
head -c 2048 /dev/urandom >small.srm
"$MAKE_ROM" snes --size 128 cart.sfc

# The reference: the Linux program, on the emulator.
q 0 info small.sfc small.srm
LINUX_INFO=$OUT
q 0 --port sim:state=LS run small.sfc small.srm
q 0 --port "sim:cart=$WORK/cart.sfc" download rom linux.sfc

# From here on quillon.exe (a hang ends after 2 minutes, status 124).
RUN=(timeout 120 wine app/quillon.exe)
q 0 info small.sfc small.srm
expect_eq "info prints what the Linux program prints" "$LINUX_INFO" "$OUT"

# NAME|SIMULATOR OPTIONS|PORT|COMMAND: each leaves WS (run) or out.sfc (download).
while IFS='|' read -r name board port command; do
  rm -rf WS out.sfc
  start_sim "$board"
  ln -sfn "$PTY" "$WORK/com7"
  # shellcheck disable=SC2086
  q 0 --port "$port" $command
  stop_sim
  if [ -d WS ]; then
    check "$name: emulator state as after the Linux run" diff -r LS WS
  else
    expect_same_file "$name: the file the Linux download wrote" linux.sfc out.sfc
  fi
done <<EOF
run through the bridge on COM7|state=$WORK/WS|bridge:COM7|run small.sfc small.srm
download rom through the bridge on COM7|cart=$WORK/cart.sfc|bridge:COM7|download rom out.sfc
download rom through the bridge its HELLO finds|cart=$WORK/cart.sfc|bridge|download rom out.sfc
EOF

q_table <<'EOF'
2|--bogus info small.sfc|ERR|--bogus
1|--port lpt1 probe|ERR|Could not load IO.DLL
1|--port bridge:COM42 probe|ERR|Cannot open COM42: no such port
EOF

# Ctrl+C (SIGINT reaches the console handler through Wine) stops between blocks: exit 130, the file short.
RUN=(wine app/quillon.exe)
launch "[ -e part.sfc ]" --port sim:fault=slow:1,cart=cart.sfc download rom part.sfc
ctrl_c 60
check "Ctrl+C: the download stopped short" [ "$(stat -c %s part.sfc)" -lt "$(stat -c %s linux.sfc)" ]

finish
