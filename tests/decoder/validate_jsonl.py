#!/usr/bin/python3
"""Validates every line of standard input (JSON Lines) against the JSON Schema in argv[1]; prints
the first failing line with the reasons and exits 1, or exits 0 when all lines pass (and there is
at least one)."""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft7Validator.check_schema(schema)
    validator = jsonschema.Draft7Validator(schema)
    count = 0
    for number, line in enumerate(sys.stdin, 1):
        errors = sorted(validator.iter_errors(json.loads(line)), key=str)
        if errors:
            print(f"line {number}: {line.strip()}", file=sys.stderr)
            for error in errors:
                print(f"  {list(error.absolute_path)}: {error.message}", file=sys.stderr)
            return 1
        count += 1
    print(f"{count} lines valid")
    return 0 if count > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
