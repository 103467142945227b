#!/usr/bin/env bash
# lorvex-printer-app as a user runs it: a server on a free loopback port with
# its state in a temporary folder, a printer on a file: device, jobs from
# the app's own "submit" and from ipptool (PNG, JPEG, PWG raster), every
# option, printer defaults set with "modify" and through the web form, bad
# documents and a device that cannot be opened; the server must keep serving
# throughout. Screenshots of the web pages by headless Chromium go to SHOTS.
#   app_test.sh BUILD-DIR SAMPLE.png SHOTS
set -uo pipefail
build=$(realpath "$1") sample=$(realpath "$2") shots=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
app=$build/printer-app/lorvex-printer-app
print=$build/tools/lorvex-print
preview=$build/tools/lorvex-preview
mkpwg=$build/tests/make-pwg
work=$(mktemp -d /tmp/lorvex-app.XXXXXX)
mkdir -p "$work/spool" "$work/jobs" "$shots"
. "$here/common.sh"

port=$(free_port)
"$app" server -o server-port=$port -o spool-directory="$work/spool" -o log-file="$work/log.txt" \
  -o log-level=info -o file-device-dir="$work/jobs" > "$work/server.txt" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null; rm -rf "$work"' EXIT
wait_up "http://localhost:$port/" || fail "the server does not answer"
alive() { curl -sf -o /dev/null "http://localhost:$port/" || fail "the server stopped serving after: $*"; }

"$app" add -d receipt -v "file://$work/jobs" -m lorvex_80mm >/dev/null || fail "cannot add the printer"
# The bytes are checked against lorvex-print's, which drives the Windows
# plug-in: so this printer prints as the plug-in does, thresholded and the
# whole page long (receipts_test.sh checks the app's own defaults).
"$app" modify -d receipt -o halftone-default=HT_NONE -o page-length-default=full-page >/dev/null ||
  fail "cannot set the plug-in's defaults"
uri="ipp://localhost:$port/ipp/print/receipt"

# Waits until job N has ended (completed, aborted or canceled), then prints
# the file the file: device wrote for it, if any (one file a job).
wait_job() {
  for i in $(seq 1 900); do
    "$app" jobs -d receipt 2>/dev/null | grep -qE "^$1 +(completed|aborted|canceled)" && break
    sleep 0.1
  done
  ls -t "$work/jobs"/* 2>/dev/null | head -1
}
run() {  # run NAME ARGS...: submits with the app, leaves the bytes in $work/NAME.bin
  local name=$1; shift
  rm -f "$work/jobs"/*
  local id f
  id=$("$app" submit -d receipt "$@" 2>/dev/null | sed 's/.*-//')
  f=$(wait_job "$id")
  if [ -n "$f" ]; then cp "$f" "$work/$name.bin"; else : > "$work/$name.bin"; fi
}
printf '\x1d\x56\x42\x00' > "$work/cut.bin"
# same_as_print NAME REFERENCE-ARGS...: the job prints lorvex-print's paper
# for the same picture and settings, then the page's cut, dot for dot, with
# its white rows fed, not sent as raster.
same_as_print() {
  local name=$1 file=$2; shift 2
  "$print" -q -o "$work/ref-$name.bin" "$@" "$file" || { fail "lorvex-print $*"; return; }
  cat "$work/ref-$name.bin" "$work/cut.bin" > "$work/want-$name.bin"
  same_paper "$work/$name.bin" "$work/want-$name.bin" ||
    fail "$name: $("$build/tests/paper-report" --same "$work/$name.bin" "$work/want-$name.bin")"
}

# like_print NAME REFERENCE-ARGS...: for an error-diffusion halftone, which
# runs on across bands here and starts afresh in each band of the plug-in's
# pipeline: the same paper, with as many dots within 1 %, and not the bytes
# of the pipeline's bands.
like_print() {
  local name=$1 file=$2; shift 2
  "$print" -q -o "$work/ref-$name.bin" "$@" "$file" || { fail "lorvex-print $*"; return; }
  cat "$work/ref-$name.bin" "$work/cut.bin" > "$work/want-$name.bin"
  cmp -s "$work/$name.bin" "$work/want-$name.bin" && fail "$name: diffusion still starts afresh in every band"
  local got want
  got=$("$preview" --job "$work/$name.bin" "$work/$name.png" | sed 's/.*paper //')
  want=$("$preview" --job "$work/want-$name.bin" "$work/want-$name.png" | sed 's/.*paper //')
  [ "${got%% ->*}" = "${want%% ->*}" ] || fail "$name: paper ${got%% ->*}, the pipeline's ${want%% ->*}"
  local a b
  a=$(convert "$work/$name.png" -format '%[fx:mean]' info:) b=$(convert "$work/want-$name.png" -format '%[fx:mean]' info:)
  awk -v a="$a" -v b="$b" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d < 0.01) }' ||
    fail "$name: paper mean $a, the pipeline's $b"
}

# The same picture as PNG, JPEG and PWG raster (8-bit gray, 640 dots a line).
convert "$sample" -quality 92 "$work/receipt.jpg"
"$mkpwg" "$sample" "$work/receipt.pwg" 640 || fail "make-pwg"
run png "$sample";          same_as_print png "$sample"
run jpeg "$work/receipt.jpg"; same_as_print jpeg "$work/receipt.jpg"
rm -f "$work/jobs"/*
id=$(ipptool -tv -f "$work/receipt.pwg" -d filetype=image/pwg-raster "$uri" print-job.test |
     sed -n 's/.*job-id (integer) = //p' | head -1)
[ -n "$id" ] || fail "ipptool print-job"
cp "$(wait_job "$id")" "$work/pwg.bin" 2>/dev/null
same_as_print pwg "$sample"

# Each option changes the bytes as the pipeline says.
run stucki "$sample" -o halftone=HT_Stucki;      like_print stucki "$sample" --halftone HT_Stucki
run offset "$sample" -o horizontal-offset=P40;   same_as_print offset "$sample" --offset P40
run left "$sample" -o horizontal-offset=M20 -o halftone=HT_Ordered
same_as_print left "$sample" --offset M20 --halftone HT_Ordered
run save "$sample" -o save-paper=both;           same_as_print save "$sample" --save-paper SavePaper_TopAndBottom
run nocut "$sample" -o cut=none
same_paper "$work/nocut.bin" "$work/ref-png.bin" || fail "cut=none still cuts"
run drawer "$sample" -o cash-drawer=pin-5
[ "$(tail -c 9 "$work/drawer.bin" | od -An -tx1 | tr -d ' \n')" = "1d5642001b700119fa" ] || fail "no pin-5 pulse after the cut"
run turned "$sample" -o rotate-180=on
"$preview" --job "$work/turned.bin" "$work/turned.png" >/dev/null || fail "rotate-180 stream does not decode"
"$preview" --job "$work/png.bin" "$work/upright.png" >/dev/null
[ "$(convert "$work/turned.png" -format '%[fx:mean]' info:)" = "$(convert "$work/upright.png" -format '%[fx:mean]' info:)" ] ||
  fail "rotate-180 does not print the same dots"
cmp -s "$work/turned.bin" "$work/png.bin" && fail "rotate-180 changed nothing"
run nofeed "$sample" -o slice-feed=none
# Without feeds, a printer whose raster does not move the paper prints every
# slice over the first.
grep -q "paper 576 x 790 dots" <("$preview" --job "$work/nofeed.bin" "$work/x.png") && fail "slice-feed=none still feeds"
out=$("$preview" --raster-advances --job "$work/nofeed.bin" "$work/nofeed.png") || fail "slice-feed=none does not decode"
grep -q "paper 576 x 790 dots" <<<"$out" || fail "slice-feed=none paper: $out"
# Copies, cut apart.
run copies "$sample" -o copies=3 -o cut=end-of-job
out=$("$preview" --job "$work/copies.bin" "$work/copies.png") || fail "copies do not decode"
grep -q ", 3 cuts," <<<"$out" || fail "three copies, three cuts: $out"

# "finishings" trim (sent as the enum 11) asks for the cut, over cut=none.
rm -f "$work/jobs"/*
id=$(ipptool -tv -f "$sample" -d filetype=image/png -d finishings=11 -d cut=none "$uri" "$here/print-finishings.test" |
     sed -n 's/.*job-id (integer) = //p' | head -1)
cp "$(wait_job "$id")" "$work/trim.bin" 2>/dev/null
same_as_print trim "$sample"

# A default set on the printer reaches the next job (PAPPL 1.3.1 alone would
# not hand it to the driver).
"$app" modify -d receipt -o halftone-default=HT_Stucki >/dev/null || fail "modify"
run modified "$sample"; like_print modified "$sample" --halftone HT_Stucki
# ... and one set through the web page's printing defaults form.
jar=$work/cookies.txt
page=$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/receipt/printing")
session=$(grep -o 'name="session" value="[^"]*"' <<<"$page" | sed 's/.*value="//; s/"$//')
curl -s -o /dev/null -c "$jar" -b "$jar" -X POST "http://localhost:$port/receipt/printing" \
  --data-urlencode "session=$session" --data-urlencode "halftone=HT_Burkes" \
  --data-urlencode "horizontal-offset=P10" --data-urlencode "orientation-requested=3" \
  --data-urlencode "print-quality=normal" || fail "posting the defaults form"
run webdefault "$sample"; like_print webdefault "$sample" --halftone HT_Burkes --offset P10
"$app" modify -d receipt -o halftone-default=HT_NONE -o horizontal-offset-default=none >/dev/null

# The test page, from the printer page's button: a 240-dot solid block with
# its explanation, through the same pipeline.
rm -f "$work/jobs"/*
page=$(curl -s -c "$jar" -b "$jar" "http://localhost:$port/receipt")
session=$(grep -o 'name="session" value="[^"]*"' <<<"$page" | head -1 | sed 's/.*value="//; s/"$//')
curl -s -o /dev/null -c "$jar" -b "$jar" -X POST "http://localhost:$port/receipt/" \
  --data-urlencode "session=$session" --data-urlencode "action=print-test-page"
for i in $(seq 1 100); do [ -s "$(ls -t "$work/jobs"/* 2>/dev/null | head -1)" ] && break; sleep 0.1; done
sleep 1
testpage=$(ls -t "$work/jobs"/* 2>/dev/null | head -1)
if [ -z "$testpage" ]; then
  fail "no test page printed"
else
  "$preview" --job "$testpage" "$shots/test-page-preview.png" >/dev/null || fail "the test page does not decode"
fi

# Bad documents: a clear job message, nothing a printer would misread, and
# the server goes on.
job_message() { ipptool -t -d job_id="$1" "$uri" "$here/job-state.test" 2>/dev/null | sed -n 's/.*job-state-message (textWithoutLanguage) = //p; s/^ *job-state-message = //p'; }
bad() {  # bad NAME FILE FORMAT PATTERN
  rm -f "$work/jobs"/*
  local out id
  out=$(ipptool -tv -f "$2" -d filetype="$3" "$uri" print-job.test 2>&1)
  id=$(sed -n 's/.*job-id (integer) = //p' <<<"$out" | head -1)
  # A streamed raster job answers only when it ends: then the newest job.
  if [ -z "$id" ] && grep -q "successful-ok" <<<"$out"; then
    id=$("$app" jobs -d receipt 2>/dev/null | awk 'NR == 1 {print $1}')
  fi
  local msg
  if [ -n "$id" ]; then
    wait_job "$id" >/dev/null
    msg=$(job_message "$id")
  else  # refused at once: the answer to Print-Job says why
    msg=$(sed -n 's/.*status-message (textWithoutLanguage) = //p; s/.*status-code = //p' <<<"$out" | head -1)
  fi
  grep -qiE "$4" <<<"$msg" || fail "$1: job message '$msg'"
  local f
  f=$(ls "$work/jobs"/* 2>/dev/null | head -1)
  if [ -n "$f" ] && [ -s "$f" ]; then
    "$preview" --job "$f" "$work/x.png" >/dev/null 2>&1 || fail "$1: sent bytes a printer would misread"
  fi
  alive "$1"
}
# nothing_sent NAME: the bad job sent no byte at all.
nothing_sent() { [ -s "$(ls "$work/jobs"/* 2>/dev/null | head -1)" ] && fail "$1 sent bytes to the printer"; }
head -c 20000 "$sample" > "$work/truncated.png"
bad truncated-png "$work/truncated.png" image/png "PNG"; nothing_sent "a truncated PNG"
head -c 3000 "$work/receipt.jpg" > "$work/truncated.jpg"
bad truncated-jpeg "$work/truncated.jpg" image/jpeg "JPEG"; nothing_sent "a truncated JPEG"
# Checked before anything is decoded: the format by its first bytes, the
# size by the header (a 10000 x 10000 GIF sent as PNG; a PNG header of
# 576 x 1000000, 125 m of paper; one of 10000 x 10000 pixels).
printf 'GIF89a\x10\x27\x10\x27\x80\0\0\0\0\0\xff\xff\xff,\0\0\0\0\x10\x27\x10\x27\0\x02\x02\x44\x01\0;' > "$work/gif.png"
bad gif-as-png "$work/gif.png" image/png "sent as image/png is image/gif; only PNG and JPEG"; nothing_sent "a GIF"
bytes() { local b; for b in "$@"; do printf "\\x$(printf %02x "$b")"; done; }
be32() { echo $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)); }
crc32() {  # crc32 BYTE...: the PNG chunk CRC
  local crc=$((0xFFFFFFFF)) b i
  for b in "$@"; do
    crc=$((crc ^ b))
    for i in 1 2 3 4 5 6 7 8; do crc=$(( (crc >> 1) ^ (0xEDB88320 & -(crc & 1)) )); done
  done
  echo $((crc ^ 0xFFFFFFFF))
}
png_header() {  # png_header WIDTH HEIGHT FILE: a PNG signature, its IHDR, an empty IDAT and IEND
  local ihdr
  ihdr="73 72 68 82 $(be32 "$1") $(be32 "$2") 8 0 0 0 0"
  { printf '\x89PNG\r\n\x1a\n\0\0\0\r'; bytes $ihdr $(be32 "$(crc32 $ihdr)")
    printf '\0\0\0\0IDAT\x35\xaf\x06\x1e\0\0\0\0IEND\xaeB`\x82'; } > "$3"
}
png_header 576 1000000 "$work/tall.png"
bad tall-png "$work/tall.png" image/png "would print 125124 mm long; the longest paper this printer takes is 1000 mm"
nothing_sent "a PNG longer than the roll"
png_header 10000 10000 "$work/big.png"
bad big-png "$work/big.png" image/png "10000 x 10000 pixels; at most 50 million"; nothing_sent "a 100 MP PNG"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\0\0\0\0' > "$work/huge.png"
printf '\0\0\0\0IEND\xaeB`\x82' >> "$work/huge.png"
bad absurd-png "$work/huge.png" image/png "PNG|absurd"
# PAPPL streams PWG raster to the driver itself and takes a document that
# ends early as ended (after a minute's wait): the rows that came are on
# paper as whole records, and the job says the document was cut short.
head -c 5000 "$work/receipt.pwg" > "$work/truncated.pwg"
bad truncated-pwg "$work/truncated.pwg" image/pwg-raster "ended early: page 1 has [0-9]+ of its 790 rows"
# Absurd page sizes in the PWG header: 100000 dots a line, 4e9 lines.
cp "$work/receipt.pwg" "$work/wide.pwg"
printf '\x00\x01\x86\xa0' | dd of="$work/wide.pwg" bs=1 seek=376 conv=notrunc status=none  # cupsWidth
printf '\x00\x01\x86\xa0' | dd of="$work/wide.pwg" bs=1 seek=396 conv=notrunc status=none  # cupsBytesPerLine
bad wide-pwg "$work/wide.pwg" image/pwg-raster "page size 100000 x 790 dots cannot be printed"
cp "$work/receipt.pwg" "$work/long.pwg"
printf '\xee\x6b\x28\x00' | dd of="$work/long.pwg" bs=1 seek=380 conv=notrunc status=none  # cupsHeight
bad long-pwg "$work/long.pwg" image/pwg-raster "page size 640 x 4000000000 dots cannot be printed"
# A page 10000 rows long at 203 dpi, longer than the 1000 mm roll: refused
# before a row is sent.
cp "$work/receipt.pwg" "$work/roll.pwg"
printf '\x00\x00\x27\x10' | dd of="$work/roll.pwg" bs=1 seek=380 conv=notrunc status=none  # cupsHeight
bad roll-pwg "$work/roll.pwg" image/pwg-raster "would print 1252 mm long; the longest paper this printer takes is 1000 mm"
nothing_sent "a raster page longer than the roll"
# A 1-bit raster, which the printer does not advertise: refused before a
# byte is sent.
"$mkpwg" "$sample" "$work/receipt1.pwg" 640 --bits 1 || fail "make-pwg 1-bit"
bad one-bit-pwg "$work/receipt1.pwg" image/pwg-raster "8-bit gray raster only; page 1 came as 1-bit"
[ -s "$(ls "$work/jobs"/* 2>/dev/null | head -1)" ] && fail "a 1-bit raster sent bytes to the printer"
printf 'not a picture at all' > "$work/garbage.png"
bad garbage-png "$work/garbage.png" image/png "PNG|cannot"

# Listing devices without an avahi daemon must not abort (PAPPL 1.3.1 would).
timeout 60 "$app" devices >/dev/null 2>&1
[ $? -ge 128 ] && fail "the devices command crashed"

# The printer's own format: a valid stream passes unchanged; a damaged one,
# or one past the 64 MB the app holds, is refused whole.
rm -f "$work/jobs"/*
id=$(ipptool -tv -f "$work/ref-png.bin" -d filetype=application/vnd.lorvex-escpos "$uri" print-job.test |
     sed -n 's/.*job-id (integer) = //p' | head -1)
cmp -s "$(wait_job "$id")" "$work/ref-png.bin" || fail "a raw ESC/POS job did not pass unchanged"
head -c 1000 "$work/ref-png.bin" > "$work/damaged.bin"
bad damaged-raw "$work/damaged.bin" application/vnd.lorvex-escpos "not one this printer takes \(offset 0"
[ -s "$(ls "$work/jobs"/* 2>/dev/null | head -1)" ] && fail "a damaged raw job sent bytes"
cp "$work/ref-png.bin" "$work/huge.bin"   # 57 KB of whole records, doubled past 64 MB
for i in $(seq 1 11); do cat "$work/huge.bin" "$work/huge.bin" > "$work/huge2.bin"; mv "$work/huge2.bin" "$work/huge.bin"; done
bad huge-raw "$work/huge.bin" application/vnd.lorvex-escpos "larger than 64 MB"
[ -s "$(ls "$work/jobs"/* 2>/dev/null | head -1)" ] && fail "an oversized raw job sent bytes"
rm -f "$work/huge.bin"

# A device that cannot be opened: the job fails, the server goes on.
mkdir -p "$work/jobs/gone" && : > "$work/jobs/gone/printer.bin"
"$app" add -d nowhere -v "file://$work/jobs/gone/printer.bin" -m lorvex_80mm >/dev/null 2>&1 || fail "add nowhere"
rm -rf "$work/jobs/gone"
"$app" submit -d nowhere "$sample" >/dev/null 2>&1
sleep 1
alive "a device that cannot be opened"
# A client that goes away in the middle of sending a job.
{ printf 'POST /ipp/print/receipt HTTP/1.1\r\nHost: localhost\r\nContent-Type: application/ipp\r\nContent-Length: 900000\r\n\r\n'
  printf '\x02\x00\x00\x02\x00\x00\x00\x01\x01'; head -c 1000 "$sample"; } | timeout 3 curl -s -o /dev/null \
  --data-binary @- "http://localhost:$port/ipp/print/receipt" -H 'Content-Type: application/ipp' 2>/dev/null
alive "a client that disconnected mid-job"
run afterwards "$sample"; same_as_print afterwards "$sample"

# Only true claims: no Mopria certification; Identify-Printer prints a slip
# with the printer's name and address; the supplies link is the status page.
attrs=$(ipptool -tv "$uri" get-printer-attributes.test 2>/dev/null)
grep -q 'mopria-certified' <<<"$attrs" && fail "the printer claims mopria-certified"
grep -q 'identify-actions-supported (keyword) = display' <<<"$attrs" || fail "identify-actions-supported"
supply=$(sed -n 's/.*printer-supply-info-uri (uri) = //p' <<<"$attrs")
[ "$(curl -s -o /dev/null -w '%{http_code}' "${supply/localhost/127.0.0.1}")" = 200 ] || fail "printer-supply-info-uri $supply does not answer"
rm -f "$work/jobs"/*
ipptool -t -d message="Till 2 here" "$uri" "$here/identify-printer.test" >/dev/null || fail "Identify-Printer"
slip=$(ls -t "$work/jobs"/* 2>/dev/null | head -1)
{ [ -n "$slip" ] && grep -aq 'receipt' "$slip" && grep -aq "http://.*:$port/receipt" "$slip" && grep -aq 'Till 2 here' "$slip" &&
  [ "$(tail -c 4 "$slip" | od -An -tx1 | tr -d ' \n')" = 1d564200 ]; } || fail "the identify slip: $(cat -v "$slip" 2>/dev/null)"
"$preview" --job "$slip" "$shots/identify-slip.png" >/dev/null || fail "the identify slip does not draw"

# The web pages, as a browser shows them.
shot() {
  timeout 60 chromium --headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/chromium" --virtual-time-budget=3000 --window-size=1024,1100 --screenshot="$shots/$1.png" \
    "http://localhost:$port$2" >/dev/null 2>&1 || fail "no screenshot of $2"
  [ -s "$shots/$1.png" ] || fail "empty screenshot of $2"
}
if command -v chromium >/dev/null; then
  shot printers /
  shot printer /receipt
  shot printing-defaults /receipt/printing
  shot media /receipt/media
  shot add-printer /addprinter
fi
alive "the web pages"

[ "$failures" -eq 0 ] && echo "lorvex-printer-app: jobs, options, defaults, bad input and web pages pass (screenshots in $shots)"
exit "$failures"
