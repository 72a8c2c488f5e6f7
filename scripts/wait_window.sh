# Sourced by the scripts that drive windows under Xvfb.
#
# wait_window NAME: waits up to 60 s for a window of exactly that name,
# looking ten times a second; prints its id, or fails.
wait_window() {
  local id=""
  for _ in $(seq 1 600); do
    id="$(xdotool search --name "^$1\$" 2>/dev/null | head -n 1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
