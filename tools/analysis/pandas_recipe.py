#!/usr/bin/python3
"""The pandas recipe of docs/analysis.md: the JSON Lines of many recordings (xob-decode --json
A.xob B.xob ... > fleet.jsonl) in one DataFrame, counted per source and entry kind, and one table
per entry kind with its fields as columns.

    pandas_recipe.py counts FILE.jsonl...        entry kind <TAB> count, for all files together
    pandas_recipe.py table ENTRY FILE.jsonl...   the records of one entry kind, a column per field
"""
import sys

import pandas as pd


def load(paths):
    """All lines of all files; `kind` is the entry's name, the command's for the other commands,
    and "?" for damage that names no entry kind (as xob-decode --stats counts them)."""
    frame = pd.concat([pd.read_json(path, lines=True, dtype=False) for path in paths], ignore_index=True)
    command = frame["command"].where(frame["command"] != "LogEntry")
    frame["kind"] = frame["entry"].fillna(command).fillna("?")
    return frame


def table(frame, entry):
    """One entry kind: where and when, then its fields (lists stay Python lists in one column)."""
    rows = frame[frame["entry"] == entry]
    fields = pd.json_normalize(rows["fields"].tolist(), max_level=0)
    return pd.concat([rows[["source", "elapsed", "clock"]].reset_index(drop=True), fields], axis=1)


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("counts", "table"):
        sys.exit(__doc__)
    if sys.argv[1] == "table":
        print(table(load(sys.argv[3:]), sys.argv[2]).to_string())
        return
    frame = load(sys.argv[2:])
    for kind, count in frame.groupby("kind").size().sort_index().items():
        print(f"{kind}\t{count}")
    # A table per entry kind: each must have a column per field name its records carry.
    for entry in frame["entry"].dropna().unique():
        rows = table(frame, entry)
        assert len(rows) == (frame["entry"] == entry).sum(), entry
    # Per source: what a fleet report starts with.
    by_source = frame.groupby(["source", "kind"]).size().unstack(fill_value=0)
    print(by_source.T.to_string(), file=sys.stderr)


if __name__ == "__main__":
    main()
