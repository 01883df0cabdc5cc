# Sourced by the scripts that run the simulated scales as a process of their
# own. start_sim OUTFILE VEMKA-SIM ARGS... starts it in the background
# (sim_pid) and waits until it reports a scale on every --hecr, --pecr or
# --tsecr address among ARGS, and the relay of --relay; stop_sim ends it.
sim_pid=""

start_sim() {
  out="$1"
  shift
  "$@" >"$out" 2>&1 &
  sim_pid=$!
  want=""
  prev=""
  for a in "$@"; do
    case "$prev" in --hecr | --pecr | --tsecr) want="$want scale.on.$a" ;; --relay) want="$want relay.on.$a" ;; esac
    prev="$a"
  done
  tries=0
  for a in $want; do
    until grep -q "$a" "$out" 2>/dev/null; do
      tries=$((tries + 1))
      if [ "$tries" -gt 100 ] || ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "the simulated scale did not start:" >&2
        cat "$out" >&2
        exit 1
      fi
      sleep 0.1
    done
  done
}

stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}
