#!/usr/bin/env bash
# A real print: starts a CUPS scheduler (unless one runs already) with a PDF
# queue as the default printer, runs the print checks in print_cups_run
# against it, and takes down what it set up. Without root it says "skipped"
# and passes; CUPS missing and not installable is a failure
# (scripts/install-deps.sh brings it).
#   print_cups_test.sh path/to/print_cups_run
set -uo pipefail

runner=$1
queue=StillwiseTestPDF
skip() { echo "print_cups_test: skipped: $*"; exit 0; }
fail() { echo "print_cups_test: FEHLER: $*" >&2; exit 1; }

packages=(cups cups-client cups-ipp-utils printer-driver-cups-pdf poppler-utils)
tools=(cupsd lpadmin lpstat cupsaccept cupsreject ipptool pdfinfo pdftoppm)
ppd=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
ppd_file=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
pdf_conf=/etc/cups/cups-pdf.conf

have_all() {
  for t in "${tools[@]}"; do command -v "$t" >/dev/null || return 1; done
  [ -f "$ppd_file" ] && [ -f "$pdf_conf" ]
}

[ "$(id -u)" -eq 0 ] || skip "running a scheduler and adding a queue needs root"
if ! have_all; then
  command -v apt-get >/dev/null || fail "CUPS is not installed and there is no apt-get"
  echo "print_cups_test: installing ${packages[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 &&
      apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null 2>&1; } ||
    fail "could not install ${packages[*]}"
  have_all || fail "CUPS tools missing after installing"
fi

work=$(mktemp -d /tmp/stillwise-print.XXXXXX)
out=$work/pdf
mkdir -m 1777 "$out"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$work/runtime}
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
cupsd_pid=
queue_added=
cp -p "$pdf_conf" "$work/cups-pdf.conf.saved"

cleanup() {
  [ -n "$queue_added" ] && lpadmin -x "$queue" 2>/dev/null
  cp -p "$work/cups-pdf.conf.saved" "$pdf_conf"
  if [ -n "$cupsd_pid" ]; then
    kill "$cupsd_pid" 2>/dev/null
    wait "$cupsd_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

scheduler_running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

status=0
if ! scheduler_running; then
  # No scheduler at all: the program must say there is no printer.
  STILLWISE_EXPECT_NO_PRINTER=1 "$runner" --gtest_filter='NoPrinter.*' || status=1

  cupsd -t >/dev/null 2>&1 || fail "the CUPS configuration does not check out"
  cupsd -f >"$work/cupsd.log" 2>&1 &
  cupsd_pid=$!
  for _ in $(seq 50); do scheduler_running && break; sleep 0.1; done
  scheduler_running || { cat "$work/cupsd.log"; fail "cupsd did not start"; }

  # A scheduler of our own without any queue: no printer either.
  if [ -z "$(lpstat -v 2>/dev/null)" ]; then
    STILLWISE_EXPECT_NO_PRINTER=1 "$runner" --gtest_filter='NoPrinter.*' || status=1
  fi
fi

# The queue writes each job as job_<id>-<title>.pdf into our folder.
sed -i -E "s|^#?Out .*|Out $out|; s|^#?AnonDirName .*|AnonDirName $out|" "$pdf_conf"
# A scheduler that has just started may still be gathering its drivers (on a
# fresh system the first time takes seconds): try for a while, then tell why.
added=
for _ in $(seq 20); do
  if lpadmin -p "$queue" -v cups-pdf:/ -m "$ppd" -o printer-is-shared=no -o pdftops-renderer-default=pdftocairo \
    2>"$work/lpadmin.err"; then
    added=1
    break
  fi
  sleep 0.5
done
if [ -z "$added" ]; then
  cat "$work/lpadmin.err" >&2
  [ -f "$work/cupsd.log" ] && tail -20 "$work/cupsd.log" >&2
  lpinfo -m 2>&1 | grep -i pdf >&2
  fail "could not add a cups-pdf queue"
fi
queue_added=1
lpadmin -p "$queue" -o PageSize=A4 -o printer-error-policy=abort-job -o Label=1 -o TitlePref=1 -o LogType=3 -E ||
  fail "could not set up the queue"
# Only a scheduler of our own gets a new default; elsewhere PRINTER makes the
# queue this process's default.
[ -n "$cupsd_pid" ] && lpadmin -d "$queue"

PRINTER=$queue STILLWISE_PRINTER_URI="ipp://localhost/printers/$queue" STILLWISE_PDF_DIR="$out" \
  "$runner" --gtest_filter='RealPrint.*' || status=1
exit $status
