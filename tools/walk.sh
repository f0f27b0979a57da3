# Sourced by demo.sh and windows-e2e.sh, which define `press` and `game`.
# A step the server took shows as a new view line ("@...") in the client's
# traffic log; a wanderer in the way is waited out.
views() { grep -ac '^@' "$game/_netlog.txt" || true; }

# step KEY: false when ten tries did not get past whoever stood in the way.
step() {
  for _ in $(seq 10); do
    local before; before=$(views)
    press "$1"; sleep 0.3
    [ "$(views)" != "$before" ] && return 0
    sleep 0.8
  done
  return 1
}
