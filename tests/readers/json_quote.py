"""Prints its argument as xls_dump.py quotes texts (a JSON string, non-ASCII kept)."""
import json
import sys

print(json.dumps(sys.argv[1], ensure_ascii=False), end="")
