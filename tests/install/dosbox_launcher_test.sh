#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# wydrukid95-dosbox, the launcher of the DOS program, as the agent runs it.
#   dosbox_launcher_test.sh launcher LAUNCHER
#     where it looks for DOSBox's configuration and which configurations it refuses (those the
#     DOS program could rewrite);
#   dosbox_launcher_test.sh unit LAUNCHER BUILD_DIRECTORY
#     the built agent under the built systemd unit, run by a real systemd user manager: the DOS
#     program (a stand-in for DOSBox that ignores SIGTERM, as DOSBox running a busy DOS
#     program does) lives in a scope of its own and survives a restart and a stop of the
#     agent's unit. Needs root. The manager is the test's own, in a cgroup of its own, with its
#     own runtime directory (where no systemd runs the machine, in a mount namespace that says
#     one does). Skips (77) when it cannot be started.
# shellcheck disable=SC2016  # the stand-in's script is written with its own "$@"
set -euo pipefail
mode=$1
launcher=$(realpath "$2")
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() {  # wait_for SECONDS COMMAND...: true once COMMAND succeeds, false at the deadline
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# The stand-in for DOSBox: says its process id and arguments, then waits like a DOS program.
make_emulator() {
  cat >"$1" <<EOF
#!/bin/sh
trap '' TERM HUP INT
echo "\$\$ \$*" >>"$2"
exec sleep 100000
EOF
  chmod +x "$1"
}

launcher_checks() {
  root=$(mktemp -d)
  trap 'rm -rf "$root"' EXIT
  mkdir -p "$root/home/d95/JOBS" "$root/config/wydrukid95" "$root/bin"
  : >"$root/home/d95/JOBS/d95.pif"
  printf '#!/bin/sh\necho "$@" >"%s/ran"\n' "$root" >"$root/dosbox"
  chmod +x "$root/dosbox"
  unset WYDRUKI_DOSBOX_CONF WYDRUKI_DOSBOX_SCOPE
  run() {  # the variables set before it in a call reach the launcher
    rm -f "$root/ran"
    DOSBOX="$root/dosbox" XDG_CONFIG_HOME="$root/config" PATH="$root/bin:/usr/bin:/bin" \
      XDG_RUNTIME_DIR="$root" "$launcher" "$root/home/d95/JOBS/d95.pif" -exit 2>"$root/err"
  }
  local user_conf=$root/config/wydrukid95/dosbox.conf beside=$root/home/dosbox.conf

  run && fail "no configuration anywhere, yet the launcher started DOSBox"
  grep -q "no DOSBox configuration $user_conf" "$root/err" || fail "$(cat "$root/err")"

  # Beside the directory DOSBox mounts as C: it wins over the user's one.
  printf '[autoexec]\r\nmount c "%s"\r\n' "$root/home/d95" >"$user_conf"
  printf '[autoexec]\nMOUNT C %s -t dir\n' "$root/home/d95" >"$beside"
  run || fail "the configuration beside the job directory's parent was not taken: $(cat "$root/err")"
  [ "$(cat "$root/ran")" = "-noconsole -conf $beside -exit" ] || fail "ran: $(cat "$root/ran")"

  # One the DOS program could rewrite is refused, however the mount is spelled.
  for mount in 'MOUNT C "%s"' '  Mount  d:  %s/ -t dir'; do
    # shellcheck disable=SC2059  # the mount line is the format
    printf "[autoexec]\r\n$mount\r\n" "$root/home" >"$beside"
    run && fail "a configuration inside a drive it mounts ($mount) was used"
    grep -q "refusing $beside: it lies inside $root/home" "$root/err" || fail "$(cat "$root/err")"
    [ ! -e "$root/ran" ] || fail "DOSBox ran with a configuration it mounts"
  done
  cp "$user_conf" "$root/home/d95/JOBS/dosbox.conf"
  WYDRUKI_DOSBOX_CONF=$root/home/d95/JOBS/dosbox.conf run &&
    fail "a configuration in the job directory was used"
  grep -q "it lies in the job directory $root/home/d95/JOBS" "$root/err" || fail "$(cat "$root/err")"
  echo "launcher checked"
}

# --- the agent's unit under a real user manager ---------------------------------------------
unit_checks() {
  local build=$1
  [ "$(id -u)" = 0 ] || { echo "SKIP: needs root to start a user manager"; exit 77; }
  for tool in systemctl systemd-run systemd-escape unshare; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  [ -x /lib/systemd/systemd ] || { echo "SKIP: no /lib/systemd/systemd"; exit 77; }
  exec unshare --mount --propagation private "$0" inside "$launcher" "$build"
}

# In a mount namespace of our own: a user manager for root with its own runtime directory, its
# own cgroups, and "/run/systemd/system" (which says that systemd runs) seen only here.
inside() {
  local build
  build=$(realpath "$1")
  # Globals: the clean-up at exit needs them.
  root=$(mktemp -d)
  manager=
  mounted_run=0
  cgroups=()
  cleanup() {
    # Everything the manager started (the agent, a session bus, the DOS programs) lives in its
    # cgroups, whose scopes the DOS programs escape the unit into: all of it goes, whatever
    # state a failure left it in.
    local group pids
    for group in "${cgroups[@]}"; do
      pids=$(find "$group" -name cgroup.procs -exec cat {} + 2>/dev/null || true)
      # shellcheck disable=SC2086  # one word per process
      [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
    done
    if [ -n "$manager" ]; then wait "$manager" 2>/dev/null || true; fi
    for group in "${cgroups[@]}"; do
      # Deepest first; a process just killed may take a moment to leave its cgroup.
      wait_for 10 sh -c "find '$group' -depth -type d -exec rmdir {} + 2>/dev/null; [ ! -e '$group' ]" ||
        echo "warning: $group is left" >&2
    done
    if [ "$mounted_run" = 1 ]; then umount /run/systemd 2>/dev/null || true; fi
    rm -rf "$root"
  }
  trap cleanup EXIT
  # A user manager runs only where systemd runs the machine; where it does not, this namespace
  # says it does.
  if [ ! -d /run/systemd/system ]; then
    mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system
    mounted_run=1
  fi

  local name=wydrukid95-test-$$
  if [ -d /sys/fs/cgroup/systemd ] && [ -d /sys/fs/cgroup/unified ]; then
    cgroups=("/sys/fs/cgroup/systemd/$name" "/sys/fs/cgroup/unified/$name")
  elif [ -f /sys/fs/cgroup/cgroup.controllers ]; then
    cgroups=("/sys/fs/cgroup/$name")
  else
    echo "SKIP: no cgroup hierarchy a user manager can use"
    exit 77
  fi
  for group in "${cgroups[@]}"; do
    mkdir "$group" 2>/dev/null || { echo "SKIP: cannot make the cgroup $group"; exit 77; }
  done

  mkdir -p "$root/runtime" "$root/home" "$root/config/systemd/user" "$root/config/wydrukid95" \
    "$root/d95/JOBS"
  chmod 700 "$root/runtime"
  export XDG_RUNTIME_DIR=$root/runtime HOME=$root/home XDG_CONFIG_HOME=$root/config
  (
    for group in "${cgroups[@]}"; do echo "$BASHPID" >"$group/cgroup.procs"; done
    exec /lib/systemd/systemd --user >"$root/manager.log" 2>&1
  ) &
  manager=$!
  wait_for 60 systemctl --user show --property=Version >/dev/null 2>&1 ||
    { echo "SKIP: the user manager did not start: $(cat "$root/manager.log")"; exit 77; }
  echo "a user manager runs (process $manager)"

  # The built unit, with the built agent in place of the installed one and the test's profile.
  make_emulator "$root/dosbox" "$root/companions"
  : >"$root/d95/JOBS/d95.pif"
  printf '[autoexec]\nMOUNT C "%s"\n' "$root/d95" >"$root/config/wydrukid95/dosbox.conf"
  cat >"$root/win.ini" <<EOF
[windows]
device=trace-file,builtin,$root/trace.txt
[extensions]
pif=$launcher
[display]
driver=null
record=$root/screen.txt
EOF
  cp "$build/packaging/wydrukid95@.service" "$root/config/systemd/user/"
  mkdir -p "$root/config/systemd/user/wydrukid95@.service.d"
  cat >"$root/config/systemd/user/wydrukid95@.service.d/test.conf" <<EOF
[Service]
ExecStart=
ExecStart=$build/src/wydrukid95 %f/
Environment=WYDRUKI_INI=$root/win.ini DOSBOX=$root/dosbox CUPS_SERVER=127.0.0.1:1
Environment=XDG_CONFIG_HOME=$root/config HOME=$root/home
StandardError=append:$root/agent.err
EOF
  systemctl --user daemon-reload
  local unit
  unit="wydrukid95@$(systemd-escape --path "$root/d95/JOBS").service"
  companions_at_least() { [ -s "$root/companions" ] && [ "$(wc -l <"$root/companions")" -ge "$1" ]; }
  alive() { kill -0 "$1" 2>/dev/null && [ "$(cut -d' ' -f3 "/proc/$1/stat")" != Z ]; }

  systemctl --user start "$unit"
  wait_for 60 companions_at_least 1 ||
    fail "the agent did not start the DOS program: $(systemctl --user status "$unit" 2>&1)
$(cat "$root/agent.err" "$root/screen.txt")"
  local first
  first=$(head -n 1 "$root/companions" | cut -d' ' -f1)
  grep -q 'wydrukid95-dosbox-.*\.scope' "/proc/$first/cgroup" ||
    fail "the DOS program is not in a scope of its own: $(cat "/proc/$first/cgroup")"
  grep -q 'wydrukid95@' "/proc/$first/cgroup" && fail "the DOS program is in the agent's unit"
  echo "the DOS program runs in $(grep -o 'wydrukid95-dosbox-[0-9]*\.scope' "/proc/$first/cgroup" | head -n 1)"

  # A restart (as after a crash or "koniec.drk" with Restart=, or by hand): the DOS program
  # stays; the agent that comes up starts its companion as every first agent does.
  systemctl --user restart "$unit"
  wait_for 60 companions_at_least 2 || fail "the restarted agent did not start"
  alive "$first" || fail "restarting the agent's unit ended the DOS program"

  systemctl --user stop "$unit"
  wait_for 60 sh -c "! systemctl --user --quiet is-active '$unit'" || fail "the unit did not stop"
  local pid
  while read -r pid _; do
    alive "$pid" || fail "stopping the agent's unit ended the DOS program $pid"
  done <"$root/companions"
  echo "after the unit's restart and stop both DOS programs still run"
}

case "$mode" in
  launcher) launcher_checks ;;
  unit) unit_checks "$3" ;;
  inside) inside "$3" ;;
  *) fail "unknown mode $mode" ;;
esac
