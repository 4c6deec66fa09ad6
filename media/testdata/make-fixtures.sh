#!/bin/sh
# Makes the archive fixtures of the media tests with Debian's 7zz: a source tree and the same tree
# packed plain, at -mx=9 with BCJ2, with encrypted headers, as a zip with AES, plus damaged files
# and a zip whose entries climb out of the target folder.
# Usage: make-fixtures.sh OUTPUT-FOLDER
set -eu
out=$1
rm -rf "$out"
mkdir -p "$out/tree/docs/deep/deeper" "$out/tree/bin" "$out/tree/empty dir"
cd "$out/tree"
printf 'readme line 1\r\nreadme line 2\r\n' >readme.txt
printf '' >empty.txt
python3 - <<'PY'
import random
r = random.Random(7)
open("bin/random.bin", "wb").write(bytes(r.getrandbits(8) for _ in range(300000)))
open("bin/repeat.dat", "wb").write(b"veltrix " * 200000)
open("docs/deep/deeper/n\u00e4me with space.txt", "w", encoding="utf-8").write("unicode name\n" * 100)
open("docs/guide.md", "w").write("# Guide\n" + "text " * 5000)
PY
# Fake executable content so the BCJ2 branch has x86 code-like bytes to work on.
head -c 200000 /usr/bin/7zz >bin/tool.exe
set -- *
# -ssw and -mmt as the engine's own level switches use them.
7zz a -bd -y -t7z ../plain.7z "$@" >/dev/null
7zz a -bd -y -t7z -mx=9 -ssw -mhe=off -mmt=2 -ms=on -mhc=on -m0=BCJ2 -m1=LZMA2 -m1d=26 -m1mf=bt4 -m1fb=64 \
  -m2=LZMA2 -m2d=20 -m2mf=bt4 -m2fb=64 -m3=LZMA2 -m3d=20 -m3mf=bt4 -m3fb=64 -mb0:1 -mb0s1:2 -mb0s2:3 \
  ../bcj2.7z "$@" >/dev/null
7zz a -bd -y -t7z -psecret -mhe=on ../encrypted.7z "$@" >/dev/null
7zz a -bd -y -tzip -psecret -mem=AES256 ../aes.zip "$@" >/dev/null
cd ..
head -c 2000 plain.7z >truncated.7z
python3 - <<'PY'
import random, zipfile
random.seed(11)
open("garbage.res", "wb").write(bytes(random.getrandbits(8) for _ in range(5000)))
with zipfile.ZipFile("evil.zip", "w") as z:
    z.writestr("good.txt", "good\n")
    z.writestr(zipfile.ZipInfo("sub/../../evil.txt"), "evil\n")
with zipfile.ZipFile("absolute.zip", "w") as z:
    z.writestr("good.txt", "good\n")
    z.writestr(zipfile.ZipInfo("C:/evil.txt"), "evil\n")
PY
touch "$out/done"
