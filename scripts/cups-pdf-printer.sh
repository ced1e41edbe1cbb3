#!/usr/bin/env bash
# Makes sure a CUPS scheduler runs and that its default printer is "PDF", a cups-pdf queue
# that writes every job to ~/PDF of the job's owner. The printing tests print through it.
# A second queue, "PDF-refusing", rejects every job: tests that a refusal is reported pick it
# for their own process (PRINTER), so the other tests printing meanwhile are not touched.
# Installs nothing (scripts/install-deps.sh test does); safe to run again; takes well under a second
# when everything is in place already.
set -euo pipefail

printer=PDF
ppd=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

for tool in cupsd lpadmin lpstat; do
    if ! command -v "$tool" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$tool" ]; then
        echo "cups-pdf-printer: $tool not found; run scripts/install-deps.sh test first" >&2
        exit 1
    fi
done
export PATH="$PATH:/usr/sbin"

scheduler_running() {
    lpstat -r 2>/dev/null | grep -q "scheduler is running"
}

if ! scheduler_running; then
    # Without systemd (containers, CI) nobody starts it for us; cupsd forks into the
    # background by itself.
    $sudo cupsd
    for _ in $(seq 50); do
        scheduler_running && break
        sleep 0.1
    done
    if ! scheduler_running; then
        echo "cups-pdf-printer: cupsd did not start; see /var/log/cups/error_log" >&2
        exit 1
    fi
fi

if ! lpstat -p "$printer" >/dev/null 2>&1; then
    $sudo lpadmin -p "$printer" -v cups-pdf:/ -E -m "$ppd"
    # The default PostScript renderer leaves PDFs whose text pdftotext cannot read back.
    $sudo lpadmin -p "$printer" -o pdftops-renderer-default=pdftocairo
fi

refusing=PDF-refusing
if ! lpstat -p "$refusing" >/dev/null 2>&1; then
    $sudo lpadmin -p "$refusing" -v cups-pdf:/ -E -m "$ppd"
fi
$sudo cupsreject -r "the queue is closed for a test" "$refusing" 2>/dev/null ||
    $sudo /usr/sbin/cupsreject -r "the queue is closed for a test" "$refusing"

if [ "$(lpstat -d 2>/dev/null)" != "system default destination: $printer" ]; then
    $sudo lpadmin -d "$printer"
fi
# A personal default (lpoptions -d) would win over the system one.
lpoptions -d "$printer" >/dev/null

echo "cups-pdf-printer: default printer $printer ready"
