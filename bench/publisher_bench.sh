#!/bin/sh
# The publisher against xz, a re-publish after a small change, and serve with
# keep-alive against a new connection per request. Run by hand:
#   bench/publisher_bench.sh BUILD_DIR [size-MiB] [work-folder]
set -eu
build=$(cd "$1" && pwd)
size=${2:-128}
work=$(mktemp -d "${3:-${TMPDIR:-/tmp}}/publisher-bench.XXXXXX")
trap 'kill "$server" 2>/dev/null || true; rm -rf "$work"' EXIT
cdn="$build/bin/quillmoor-cdn"
cd "$work"

# Semi-compressible files: record-like text with stretches of noise, 100
# files, so that one changed file is about 1% of the bytes.
python3 - "$size" <<'PY'
import os, random, sys
total = int(sys.argv[1]) << 20
os.makedirs("launcher"); os.makedirs("client/data")
open("launcher/Launcher.exe", "wb").write(os.urandom(4096))
open("launcher/bench.ini", "wb").write(b"[Config]\r\nWeb=http://127.0.0.1/web/index.html\r\n")
rng = random.Random(7)
for n in range(100):
    with open(f"client/data/part{n:02}.pak", "wb") as out:
        left = total // 100
        while left > 0:
            piece = (b"".join(b"record %08d name=%s value=%d\n" % (rng.randrange(10**8), rng.choice([b"oak", b"elm", b"ash"]), rng.randrange(1000)) for _ in range(400))
                     if rng.random() < 0.7 else os.urandom(8192))[:left]
            out.write(piece); left -= len(piece)
PY

# Prints seconds, peak RSS (KiB) and CPU seconds of a command.
measure() {
    /usr/bin/time -f "%e %M %U" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err"; exit 1; }
    cat "$work/time"
}

set -- $(measure "$cdn" publish --launcher launcher --client client --platform bench --out cdn)
publish=$1 publish_rss=$2 publish_cpu=$3
set -- $(measure sh -c 'for f in client/data/*; do xz --format=lzma -6 -T1 -c "$f" >/dev/null; done')
xz=$1 xz_rss=$2 xz_cpu=$3
# About 1% of the bytes: one file of the hundred gets a new second half.
python3 -c "
import os
name = 'client/data/part03.pak'
size = os.path.getsize(name)
f = open(name, 'r+b'); f.seek(size // 2); f.write(os.urandom(size - size // 2))"
set -- $(measure "$cdn" publish --launcher launcher --client client --platform bench --out cdn --previous cdn)
republish=$1 republish_rss=$2

# 10,000 small objects: the answers' index names one, fetched again and again.
# Its access log goes to a file, as a studio's would.
"$cdn" serve --root cdn --port-file port >serve.log 2>&1 &
server=$!
while [ ! -s port ]; do sleep 0.1; done
url="http://127.0.0.1:$(cat port)/web/pcversion"
i=0; while [ $i -lt 10000 ]; do echo "url = \"$url\""; echo "output = /dev/null"; i=$((i + 1)); done > urls
set -- $(measure curl -s -K urls -H "Connection: close")
fresh=$1
set -- $(measure curl -s -K urls)
kept=$1
serve_rss=$(awk '/VmHWM/ {print $2}' /proc/$server/status)
logged=$(wc -l < serve.log)

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
echo "data: $size MiB in 100 files; load: $(uptime | sed 's/.*load/load/')"
echo "fresh publish   $publish s (peak RSS $publish_rss KiB)  xz -6 -T1 $xz s ($xz_rss KiB)  xz/publish $(ratio "$xz" "$publish") (aim >= 1.8); CPU s: publish $publish_cpu, xz $xz_cpu"
echo "re-publish 1%   $republish s (peak RSS $republish_rss KiB)  re-publish/publish $(ratio "$republish" "$publish") (aim <= 0.05)"
echo "serve 10,000    keep-alive $kept s  new connections $fresh s  ratio $(ratio "$kept" "$fresh") (aim <= 2); server peak RSS $serve_rss KiB, $logged log lines"
