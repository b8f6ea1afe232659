#!/usr/bin/env bash
# Runs the two recipes of docs/analysis.md (pandas, DuckDB with Parquet by source) on the demo's
# recording, taken as two recordings of a fleet, and checks their counts per entry kind against
# xob-decode --stats. Needs python3-pandas and Node.js with npm (scripts/bootstrap.sh --ci); the
# DuckDB package is installed from tools/analysis/package-lock.json into tools/analysis/node_modules.
# Usage: scripts/analysis_recipes.sh   (records the demo with scripts/demo.sh into build-demo/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/demo.sh >/dev/null
work=build-demo/analysis
rm -rf "$work"
mkdir -p "$work"
cp build-demo/demo.xob "$work/desk-a.xob"
cp build-demo/demo.xob "$work/desk-b.xob"
(cd tools/analysis && npm ci --no-audit --no-fund --silent)

cd "$work"
decode="$root/build-demo/tools/xob-decode"
"$decode" --json desk-a.xob desk-b.xob >fleet.jsonl
"$decode" --stats --json desk-a.xob desk-b.xob >stats.json
/usr/bin/python3 -c '
import json
for row in json.load(open("stats.json"))["total"]["entries"]:
    print(row["entry"], row["count"], sep="\t")' >expected.tsv
/usr/bin/python3 "$root/tools/analysis/pandas_recipe.py" counts fleet.jsonl >pandas.tsv 2>pandas-by-source.txt
node "$root/tools/analysis/duckdb_recipe.mjs" parquet fleet.jsonl >duckdb.tsv 2>duckdb-per-kind.txt
diff -u expected.tsv pandas.tsv
diff -u expected.tsv duckdb.tsv
[[ -d parquet/source=desk-a.xob && -d parquet/source=desk-b.xob ]]
echo "analysis recipes: $(wc -l <expected.tsv) entry kinds, $(wc -l <fleet.jsonl) records; pandas and DuckDB agree with --stats"
