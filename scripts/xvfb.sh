# Sourced: starts a private Xvfb on a free-looking display number, sets `display` and
# `xvfb_pid`, and waits until it takes connections. `stop_xvfb` ends it.
start_xvfb() {
  local geometry=${1:-1280x1024x24}
  display=":$((90 + RANDOM % 800))"
  Xvfb "$display" -screen 0 "$geometry" -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
  done
}

stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=""
}
