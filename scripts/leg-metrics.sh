#!/usr/bin/env bash
# Checks of the metrics file with the real monitoring parts from Debian:
#  1. promtool accepts every .prom file the golden cases expect;
#  2. a followed log, appended to by a writer, renews its metrics file; a
#     node_exporter serves that folder, a Prometheus server scrapes it every
#     second, and its HTTP API gives the CSV's row count as the transitions;
#     promtool accepts the file the follow left;
#  3. promtool checks and tests the shipped alert rules.
# Everything listens on 127.0.0.1 only and is stopped here. Expects a built
# tree (scripts/test.sh builds it first).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh prometheus prometheus-node-exporter python3 curl
root=$(pwd)
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "== promtool check metrics: the golden cases' files"
count=0
for prom in tests/golden/cases/*/expected/files/*.prom; do
  promtool check metrics <"$prom" || { echo "rejected: $prom"; exit 1; }
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no golden case writes a metrics file"; exit 1; }
echo "$count files accepted"

echo "== promtool test rules"
promtool check rules docs/monitoring/quorvex-rules.yml
promtool test rules tests/monitoring/quorvex-rules.test.yml

freePort() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# waitFor SECONDS COMMAND...: until the command succeeds, or fails the leg.
waitFor() {
  local until=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$until" ] || { echo "timed out: $*"; return 1; }
    sleep 0.5
  done
}

echo "== a followed log, node_exporter and Prometheus"
mkdir -p "$work/textfile" "$work/prometheus"
: >"$work/day.log"
(cd "$work" && exec "$root/build/quorvex" day.log /sum /follow /csv t.csv \
  /metrics textfile/quorvex.prom >quorvex.out 2>quorvex.err) &
pids+=($!)
quorvex=$!
python3 tests/monitoring/append_log.py "$work/day.log" 40 0.05 &
pids+=($!)
writer=$!

exporter=$(freePort)
prometheus-node-exporter --web.listen-address="127.0.0.1:$exporter" \
  --collector.disable-defaults --collector.textfile \
  --collector.textfile.directory="$work/textfile" >"$work/exporter.log" 2>&1 &
pids+=($!)
server=$(freePort)
cat >"$work/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
scrape_configs:
  - job_name: quorvex
    static_configs:
      - targets: ["127.0.0.1:$exporter"]
YML
prometheus --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/prometheus" \
  --web.listen-address="127.0.0.1:$server" >"$work/prometheus.log" 2>&1 &
pids+=($!)

wait "$writer"
# The whole log timed: the CSV holds every transition once quorvex has read it.
rows() { echo $(($(wc -l <"$work/t.csv") - 1)); }
waitFor 20 test "$(rows)" -ge 40
expected=$(rows)
query() {
  curl -sf "http://127.0.0.1:$server/api/v1/query" \
    --data-urlencode 'query=sum(quorvex_transitions_total{process="WQVX"})'
}
seen() { query | python3 -c 'import json, sys
r = json.load(sys.stdin)["data"]["result"]
sys.exit(0 if r and int(float(r[0]["value"][1])) == int(sys.argv[1]) else 1)' "$expected"; }
if ! waitFor 60 seen; then
  echo "Prometheus answered: $(query || true)"
  tail -5 "$work/prometheus.log" "$work/exporter.log"
  exit 1
fi
echo "Prometheus has quorvex_transitions_total = $expected, the CSV's rows"
kill -TERM "$quorvex"
wait "$quorvex" || true
promtool check metrics <"$work/textfile/quorvex.prom"
ls "$work/textfile" | grep -qv '^quorvex.prom$' && { echo "a temporary file was left"; exit 1; }
echo "metrics leg passed"
