# Sourced: starts a private Xvfb on a display number it picks itself (one no other server, and
# no lock file left behind by one, holds), sets `display` and `xvfb_pid`, and waits until it
# takes connections. `stop_xvfb` ends it.
start_xvfb() {
  local geometry=${1:-1280x1024x24} numberfile
  numberfile=$(mktemp)
  # -noreset: a server resets when its last client leaves and refuses new clients meanwhile, so
  # a probe or an xdotool call that ends just before the program connects would turn it away.
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$numberfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$numberfile" ] && break
    sleep 0.1
  done
  display=":$(tr -d '[:space:]' <"$numberfile")"
  rm -f "$numberfile"
  # A loaded machine has been seen to refuse the first clients after the number was given.
  for _ in $(seq 100); do
    DISPLAY=$display xprop -root >/dev/null 2>&1 && break
    sleep 0.1
  done
}

stop_xvfb() {
  if [ -n "${xvfb_pid:-}" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  xvfb_pid=""
}
