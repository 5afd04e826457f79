#!/usr/bin/env bash
# Proves the 32-bit (i686) Windows build by hand, before a release (not in
# CI: it is slow): cross-builds Talvex.dll, talvexctl.exe and
# talvex_wine_e2e.exe for i686 and talvex-sim for this machine, then runs
# every scenario of tests/windows/scenarios.txt and `talvexctl.exe --port
# COM5 status` under Debian's 32-bit Wine, in an i386 Debian root that
# qemu-user runs, against the simulator on this machine. Prints a table
# (scenario, result, seconds); the exit status is 0 when none failed, 1 when
# one failed, 2 when the run could not start.
#
#   scripts/prove-i686.sh [--prepare] [SCENARIO...]
#
# SCENARIO: run only these (names of the table, or "status" for talvexctl).
# --prepare: set up the root and the prefix, and run nothing.
#
# Needs root (packages, binfmt, chroot, mounts) and Debian's package mirror.
# The first run sets up, once: host packages (qemu-user-static
# binfmt-support debootstrap), an i386 Debian root with wine and wine32 in
# it (about 8 minutes), and a 32-bit Wine prefix (13 minutes under Debian
# 12's qemu 7.2; less under the newer one used by default), both kept in
# ${XDG_CACHE_HOME:-$HOME/.cache}/talvex/i686 for the next run. Then a run
# takes about a minute in all (each program 1 to 3 s; under 7.2, about a
# minute each, and Wine's services 8 minutes). Nothing of i386 is
# installed on this machine itself (it would break its wine64); the i386
# handler of binfmt_misc is there only during the run, and the mounts into
# the root and the root's wineserver go at the end, also on failure.
#
# TALVEX_I686_BUILD: the i686 build directory (build/win-i686).
# TALVEX_SIM: a talvex-sim built for this machine (built when not given,
#   scripts/build-host-sim.sh).
# TALVEX_WINDOWS_CMAKE_ARGS: extra CMake options of the i686 build.
# TALVEX_I686_TIMEOUT: seconds one program may take (300).
# TALVEX_I686_QEMU: the qemu-i386 the handler runs. By default the one of
#   Debian's bookworm-backports (qemu-user 10), unpacked into the cache and
#   not installed: Debian 12's own qemu 7.2 shares one table of thread
#   segments among all threads of an emulated program, so Wine crashes
#   there when threads come and go (every WaitCommEvent starts one), and it
#   takes a minute a program where 10 takes 3 s. Set it to
#   /usr/bin/qemu-i386-static to run with 7.2 all the same.
# WINEDEBUG: Wine's debug channels in the root (-all); each program's
#   output is kept in BUILD/prove-i686/.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

prepare_only=
wanted=()
for arg in "$@"; do
  case $arg in
  -h | --help) usage; exit 0 ;;
  --prepare) prepare_only=1 ;;
  -*) usage >&2; exit 2 ;;
  *) wanted+=("$arg") ;;
  esac
done

fail() { echo "prove-i686.sh: $*" >&2; exit 2; }
note() { echo "== $*"; }
[ "$(id -u)" -eq 0 ] || fail "needs root (sudo): it installs packages, registers a binfmt handler and mounts"

start=$(date +%s)
suite=bookworm
cache=${XDG_CACHE_HOME:-$HOME/.cache}/talvex/i686
root=$cache/root
prefix=$cache/prefix
build=$(realpath -m "${TALVEX_I686_BUILD:-build/win-i686}")
logs=$build/prove-i686
limit=${TALVEX_I686_TIMEOUT:-300}
winedebug=${WINEDEBUG:--all}
qemu=${TALVEX_I686_QEMU:-}
# Where the root sees the prefix, the programs and the simulators' links.
in_prefix=/talvex/prefix in_bin=/talvex/bin in_lines=/talvex/lines
port=COM5

# The scenario table, and the scenarios asked for.
names=() sim_options=()
while IFS= read -r line; do
  [[ -z $line || $line == \#* ]] && continue
  names+=("${line%%|*}")
  if [[ $line == *\|* ]]; then sim_options+=("${line#*|}"); else sim_options+=(""); fi
done < tests/windows/scenarios.txt
for name in "${wanted[@]}"; do
  [[ " ${names[*]} status " == *" $name "* ]] || fail "no scenario $name in tests/windows/scenarios.txt"
done
selected() { [ ${#wanted[@]} -eq 0 ] || [[ " ${wanted[*]} " == *" $1 "* ]]; }

i386_packages() { dpkg-query -W -f '${Architecture} ${Package}\n' 2>/dev/null | awk '$1 == "i386" { print $2 }'; }

# ---- What the run changes on this machine, undone by the trap ----
binfmt_dir=/proc/sys/fs/binfmt_misc
mounted_binfmt='' our_binfmt='' server='' lines='' sim_pid=''

# Mount points under a directory, deepest first.
mounts_under() {
  awk -v dir="$1" '$5 == dir || index($5, dir "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}
unmount_under() {
  local point
  for point in $(mounts_under "$1"); do
    umount "$point" 2>/dev/null || umount -l "$point"
  done
}
# Processes running inside the root.
root_pids() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
  done
  return 0
}
stop_root_processes() {
  local pids
  pids=$(root_pids)
  [ -n "$pids" ] || return 0
  # shellcheck disable=SC2086
  kill $pids 2>/dev/null || true
  sleep 2
  pids=$(root_pids)
  # shellcheck disable=SC2086
  [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
}
# shellcheck disable=SC2317  # called by the trap
cleanup() {
  set +e
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
  fi
  if [ -n "$server" ]; then
    in_root wineserver -k > /dev/null 2>&1
  fi
  [ -d "$root" ] && stop_root_processes
  [ -d "$root" ] && unmount_under "$root"
  [ -d "$root.partial" ] && unmount_under "$root.partial"
  rm -f "$prefix/dosdevices/${port,,}"
  [ -n "$lines" ] && rm -rf "$lines"
  if [ -n "$our_binfmt" ]; then
    update-binfmts --package talvex --remove qemu-i386 "$qemu" > /dev/null
  fi
  if [ -n "$mounted_binfmt" ] && [ "$(find "$binfmt_dir" -mindepth 1 -maxdepth 1 | wc -l)" -le 2 ]; then
    umount "$binfmt_dir"
  fi
  if [ -n "$(i386_packages)" ]; then
    echo "prove-i686.sh: this machine has i386 packages: $(i386_packages | xargs)" >&2
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A command inside the root, in the prefix, with a clean environment. No
# Mono or Gecko: console programs need neither, and nothing is fetched. No
# debugger on a crash: under emulation it takes minutes and holds the run.
root_env=(/usr/bin/env -i HOME=/root PATH=/usr/bin:/bin LANG=C.UTF-8 WINEPREFIX="$in_prefix" WINEARCH=win32
          WINEDEBUG="$winedebug" WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")
in_root() { chroot "$root" "${root_env[@]}" "$@"; }
bind() {
  mkdir -p "$2"
  mountpoint -q "$2" || mount --bind "$1" "$2"
}
mount_root() {
  bind /proc "$root/proc"
  bind /dev "$root/dev"
  bind /dev/pts "$root/dev/pts"
}
seconds_since() { echo $(( $(date +%s) - $1 )); }
# The Debian mirror apt uses here.
debian_mirror() {
  local mirror
  mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
           awk -v suite="$suite" '/^URIs:/ { uri = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) { print uri; exit } }')
  [ -n "$mirror" ] || mirror=$(awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2; exit }' \
                               /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
  [ -n "$mirror" ] || fail "no Debian mirror for $suite in /etc/apt"
  echo "$mirror"
}

# ---- Builds ----
if [ -z "$prepare_only" ]; then
  note "i686 build in $build"
  mkdir -p "$(dirname "$build")"
  # shellcheck disable=SC2086
  cmake --preset win-i686 -B "$build" ${TALVEX_WINDOWS_CMAKE_ARGS:-} > "$build.configure.log" 2>&1 \
    || { cat "$build.configure.log"; exit 2; }
  cmake --build "$build" -j"$(nproc)" --target Talvex talvexctl talvex_wine_e2e || exit 2
  sim=${TALVEX_SIM:-}
  [ -n "$sim" ] || sim=$(scripts/build-host-sim.sh | tail -n1)
  [ -x "$sim" ] || fail "no talvex-sim at $sim"
fi

# ---- Host packages: amd64 only ----
[ -z "$(i386_packages)" ] || fail "this machine already has i386 packages; remove them first"
missing=()
for package in qemu-user-static binfmt-support debootstrap; do
  dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  note "host packages: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
fi

# ---- qemu: bookworm-backports' own, unpacked into the cache ----
if [ -z "$qemu" ]; then
  qemu=$cache/qemu-backports/usr/bin/qemu-i386
  if [ ! -x "$qemu" ]; then
    note "qemu-user from bookworm-backports into $cache/qemu-backports"
    apt_dir=$cache/qemu-backports.apt
    rm -rf "$apt_dir" "$cache/qemu-backports"
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$apt_dir/parts"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $(debian_mirror) $suite-backports main" \
      > "$apt_dir/sources.list"
    # apt of its own: this machine's package lists and sources stay as they are.
    apt_own=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts="$apt_dir/parts"
             -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o APT::Sandbox::User=root)
    apt-get "${apt_own[@]}" update -qq > /dev/null
    (cd "$apt_dir" && apt-get "${apt_own[@]}" download -qq qemu-user) || fail "qemu-user is not in $suite-backports"
    dpkg-deb -x "$apt_dir"/qemu-user_*.deb "$cache/qemu-backports"
    rm -rf "$apt_dir"
  fi
fi

# ---- The i386 handler: qemu, opened at registration (works in a chroot) ----
if ! mountpoint -q "$binfmt_dir"; then
  mount -t binfmt_misc binfmt_misc "$binfmt_dir"
  mounted_binfmt=1
fi
[ -x "$qemu" ] || fail "no qemu-i386 at $qemu"
if [ -e "$binfmt_dir/qemu-i386" ]; then
  update-binfmts --display qemu-i386 2>/dev/null | grep -q "package = talvex" \
    || fail "an i386 handler of another package is registered; this run would change it"
  # One this script left behind (killed hard) is registered again.
  update-binfmts --package talvex --remove qemu-i386 "$(awk '$1 == "interpreter" { print $2 }' "$binfmt_dir/qemu-i386")"
fi
our_binfmt=1
update-binfmts --package talvex --install qemu-i386 "$qemu" \
    --magic '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    --mask '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    --offset 0 --credentials yes --fix-binary yes

# ---- The i386 root ----
mkdir -p "$cache"
stop_root_processes
unmount_under "$root"
if [ ! -f "$root/.talvex-root" ]; then
  mirror=$(debian_mirror)
  note "i386 Debian root from $mirror (about 5 minutes)"
  step=$(date +%s)
  # A root an earlier run did not finish starts again.
  unmount_under "$root.partial"
  [ -z "$(mounts_under "$root.partial")" ] || fail "$root.partial still has mounts"
  rm -rf --one-file-system "$root.partial" "$root"
  debootstrap --arch=i386 --variant=minbase "$suite" "$root.partial" "$mirror" > "$cache/debootstrap.log" 2>&1 \
    || { tail -n 20 "$cache/debootstrap.log"; unmount_under "$root.partial"; exit 2; }
  unmount_under "$root.partial"
  mv "$root.partial" "$root"
  touch "$root/.talvex-root"
  echo "   $(seconds_since "$step") s"
fi
# The host's apt sources and name servers, every run (they may change).
rm -f "$root"/etc/apt/sources.list.d/*
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
  if [ -f "$file" ]; then cp "$file" "$root$file"; fi
done
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
mount_root

# shellcheck disable=SC2016  # dpkg-query's own field
if ! in_root dpkg-query -W -f '${Status}' wine32 2>/dev/null | grep -q "ok installed"; then
  note "wine and wine32 in the root (about 4 minutes)"
  step=$(date +%s)
  in_root apt-get update -qq > "$cache/apt.log" 2>&1 || { cat "$cache/apt.log"; exit 2; }
  in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine wine32 \
    >> "$cache/apt.log" 2>&1 || { tail -n 20 "$cache/apt.log"; exit 2; }
  in_root apt-get clean
  echo "   $(seconds_since "$step") s"
fi

# ---- The 32-bit prefix ----
mkdir -p "$prefix"
bind "$prefix" "$root$in_prefix"
if [ ! -f "$prefix/.talvex-prefix" ]; then
  note "32-bit Wine prefix (about 12 minutes)"
  step=$(date +%s)
  find "$prefix" -mindepth 1 -delete
  # wineboot itself may end early (ld.so assertion, status 53) while its
  # children finish the prefix: the server's end is the prefix's.
  in_root wineboot -i > "$cache/wineboot.log" 2>&1 || echo "   (wineboot: status $?, waiting for its children)"
  in_root wineserver -w
  if [ ! -f "$prefix/system.reg" ] || [ ! -d "$prefix/drive_c/windows" ]; then
    tail -n 20 "$cache/wineboot.log"
    fail "no prefix made"
  fi
  touch "$prefix/.talvex-prefix"
  echo "   $(seconds_since "$step") s"
fi
if [ -n "$prepare_only" ]; then
  note "root and prefix ready in $cache ($(seconds_since "$start") s)"
  exit 0
fi

# ---- One wineserver for the run, and Wine's services ----
bind "$build/bin" "$root$in_bin"
lines=$(mktemp -d)
bind "$lines" "$root$in_lines"
mkdir -p "$logs"
note "wineserver and Wine's services (seconds; minutes under qemu 7.2)"
step=$(date +%s)
in_root wineserver -p > "$logs/wineserver.log" 2>&1
server=1
in_root wineboot > "$logs/wineboot.log" 2>&1 || echo "   (wineboot: status $?)"
echo "   $(seconds_since "$step") s"

# ---- The programs ----
rows=()
failed=0
# run NAME SIM-OPTIONS PROGRAM [ARG...]: one simulator, the program under
# Wine with COM5 on the simulator's line; sets $status.
run() {
  local name=$1 options=$2 log=$logs/$1.log
  shift 2
  mkdir -p "$lines/$name"
  # shellcheck disable=SC2086  # the table's options, split as CMake does
  "$sim" --link "$lines/$name/line" $options > "$logs/$name.sim.log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -e "$lines/$name/line" ] && break
    sleep 0.1
  done
  status=0
  if [ -e "$lines/$name/line" ]; then
    ln -sfn "$in_lines/$name/line" "$prefix/dosdevices/${port,,}"
    timeout --kill-after=10 "$limit" chroot "$root" "${root_env[@]}" wine "$@" > "$log" 2>&1 || status=$?
  else
    echo "the simulator did not start" > "$log"
    status=1
  fi
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=
  rm -f "$prefix/dosdevices/${port,,}"
}
record() {
  local name=$1 result=$2 seconds=$3 why=${4:-}
  rows+=("$(printf '%-14s %-8s %7s  %s' "$name" "$result" "$seconds" "$why")")
  printf '%-14s %-8s %7s  %s\n' "$name" "$result" "$seconds" "$why"
  if [ "$result" = FAILED ]; then
    failed=$((failed + 1))
    tail -n 15 "$logs/$name.log" | sed 's/^/    | /'
  fi
}

note "programs (output in $logs)"
for i in "${!names[@]}"; do
  name=${names[$i]}
  selected "$name" || continue
  step=$(date +%s)
  run "$name" "${sim_options[$i]}" "$in_bin/talvex_wine_e2e.exe" "$name" "$port"
  case $status in
  0) record "$name" passed "$(seconds_since "$step")" ;;
  77) record "$name" skipped "$(seconds_since "$step")" "$(grep -m1 skipped "$logs/$name.log" | tr -d '\r')" ;;
  124 | 137) record "$name" FAILED "$(seconds_since "$step")" "no end within $limit s" ;;
  *) record "$name" FAILED "$(seconds_since "$step")" "exit status $status" ;;
  esac
done
if selected status; then
  step=$(date +%s)
  run status "" "$in_bin/talvexctl.exe" --port "$port" status
  if [ "$status" -ne 0 ]; then
    record status FAILED "$(seconds_since "$step")" "exit status $status"
  elif tr -d '\r' < "$logs/status.log" |
       grep -qzE 'transmitter: standby.*frequency: 100\.0 MHz.*swr point: 3\.0'; then
    record status passed "$(seconds_since "$step")"
  else
    record status FAILED "$(seconds_since "$step")" "not the status the simulator starts with"
  fi
fi

echo
echo "i686 under $("$qemu" --version | head -n1) and 32-bit Wine,"
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(seconds_since "$start") s in all:"
printf '%-14s %-8s %7s\n' scenario result seconds
printf '%s\n' "${rows[@]}"
[ "$failed" -eq 0 ] || { echo "$failed failed"; exit 1; }
