#!/usr/bin/env bash
# Converts 1 GB hostile inputs with quadrelo-convert and prints, for each, the wall time, the
# processor time (user + system) and the peak resident memory (/usr/bin/time -v), then checks the workbook: the structural checker on
# every one, xlrd on those small enough to read. A 100 MB run of the same cases shows that the
# time grows linearly. Usage: scripts/hostile-inputs.sh [megabytes, default 1024] [scratch folder]
# The scratch folder (default: $TMPDIR or /tmp, quadrelo-hostile-*) needs about 3 x the size free.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

mb="${1:-1024}"
scratch="$(mktemp -d "${2:-${TMPDIR:-/tmp}}/quadrelo-hostile-XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

scripts/deps.sh test >/dev/null
build="${QUADRELO_BUILD:-build}"  # the build folder to use
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quadrelo-convert hardening_helper >/dev/null
convert="$root/$build/cli/quadrelo-convert"
helper="$root/$build/tests/hardening/hardening_helper"

# Writes one hostile case of about $mb megabytes into $scratch/<name>.txt.
generate() {
  /usr/bin/python3 - "$1" "$scratch/$1.txt" "$mb" <<'EOF'
import random, sys

name, path, mb = sys.argv[1], sys.argv[2], int(sys.argv[3])
size = mb << 20

def pad(text, width=80):
    return (text + " " * width)[:width].encode("latin-1")

def header(account):
    return pad("11" + account.ljust(18))

def transfer(n):
    return pad("22" + "0049" + "1500" + "0" * 10 + "20261207" + "%010d" % (n % 10**10) + "000"
               + "R%010d" % n)

with open(path, "wb") as out:
    written = 0
    if name == "one-line":          # no line break at all
        out.write(header("ES7620770024003102"))
        block = b"Z" * (1 << 20)
        while written < size:
            out.write(block); written += len(block)
    elif name == "nul-bytes":       # a header, then NULs without a break
        out.write(header("ES7620770024003102"))
        block = b"\0" * (1 << 20)
        while written < size:
            out.write(block); written += len(block)
    elif name == "every-byte":      # a header, then random bytes of every value
        out.write(header("ES7620770024003102") + b"\r\n")
        rng = random.Random(1)
        while written < size:
            block = rng.randbytes(1 << 20)
            out.write(block); written += len(block)
    elif name == "lf-sparse":       # LF records, one transfer per thousand lines
        out.write(header("ES7620770024003102") + b"\n")
        n = 0
        filler = b"".join(pad("99%078d" % i) + b"\n" for i in range(999))
        while written < size:
            n += 1
            chunk = filler + transfer(n) + b"\n"
            out.write(chunk); written += len(chunk)
    elif name == "lf-dense":        # LF records, every one a transfer, an account per 60,000
        n = 0
        while written < size:
            lines = [header("ES%016d" % (n // 60000))]
            lines += [transfer(n + i) for i in range(60000)]
            n += 60000
            chunk = b"\n".join(lines) + b"\n"
            out.write(chunk); written += len(chunk)
    elif name == "long-lines":      # CR LF lines of 10 MB, each a transfer with a long tail
        out.write(header("ES7620770024003102") + b"\r\n")
        tail = b"x" * (10 << 20)
        n = 0
        while written < size:
            n += 1
            chunk = transfer(n) + tail + b"\r\n"
            out.write(chunk); written += len(chunk)
    elif name == "accounts-70000":  # independent of the size
        for a in range(70000):
            out.write(header("ES%016d" % a) + b"\r\n" + transfer(a) + b"\r\n")
    elif name == "c1-names":        # accounts named with the bytes 0x80-0x9F
        for a in range(2000):
            name = bytes(0x80 + (a + i) % 32 for i in range(18))
            out.write(b"11" + name + b" " * 60 + b"\r\n" + transfer(a) + b"\r\n")
EOF
}

printf '%-16s %9s %7s %7s %12s  %s\n' case input_MB wall_s cpu_s peak_RSS_MB workbook
for name in one-line nul-bytes every-byte lf-sparse lf-dense long-lines accounts-70000 c1-names; do
  generate "$name"
  input="$scratch/$name.txt"
  size_mb=$(( $(stat -c %s "$input") >> 20 ))
  /usr/bin/time -v "$convert" --quiet --overwrite "$input" 2>"$scratch/time.txt" >/dev/null ||
    echo "  ($name: quadrelo-convert exited $?)"
  seconds=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$scratch/time.txt" |
            awk -F: '{ t = 0; for (i = 1; i <= NF; i++) t = t * 60 + $i; print t }')
  cpu=$(awk -F': ' '/User time|System time/ { t += $2 } END { printf "%.2f", t }' "$scratch/time.txt")
  rss_mb=$(( $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$scratch/time.txt") / 1024 ))
  workbook="${input%.txt}.xls"
  if [ -f "$workbook" ]; then
    verdict="$("$helper" check "$workbook" || true)"
    if [ "$(stat -c %s "$workbook")" -lt $((64 << 20)) ]; then
      sheets=$(/usr/bin/python3 "$root/tests/hardening/xls_summary.py" "$workbook" | head -1)
      verdict="$verdict; xlrd: ${sheets//$'\t'/ }"
    fi
  else
    verdict="no workbook"
  fi
  printf '%-16s %9s %7s %7s %12s  %s\n' "$name" "$size_mb" "$seconds" "$cpu" "$rss_mb" "$verdict"
  rm -f "$input" "$workbook"
done
