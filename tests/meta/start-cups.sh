#!/usr/bin/env bash
# Starts a local CUPS scheduler with the PDF printer "PDF" (cups-pdf) when none is running, for the printing
# tests. Exit status 0 when the printer accepts jobs, 1 when CUPS cannot be started here.
set -u

ready() { lpstat -r >/dev/null 2>&1 && lpstat -r 2>/dev/null | grep -q "is running"; }

if ! ready; then
  [ -x /usr/sbin/cupsd ] || { echo "cupsd is not installed" >&2; exit 1; }
  /usr/sbin/cupsd >/dev/null 2>&1 || { echo "cupsd did not start" >&2; exit 1; }
  for _ in $(seq 1 50); do ready && break; sleep 0.1; done
  ready || { echo "cupsd did not answer" >&2; exit 1; }
fi

if ! lpstat -p PDF >/dev/null 2>&1; then
  ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
  model=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
  if [ -f "$ppd" ]; then
    lpadmin -p PDF -v cups-pdf:/ -P "$ppd" -E >/dev/null 2>&1 || lpadmin -p PDF -v cups-pdf:/ -m "$model" -E >/dev/null 2>&1 \
      || { echo "the PDF printer could not be added" >&2; exit 1; }
  else
    lpadmin -p PDF -v cups-pdf:/ -m "$model" -E >/dev/null 2>&1 || { echo "the PDF printer could not be added" >&2; exit 1; }
  fi
fi
cupsenable PDF >/dev/null 2>&1
cupsaccept PDF >/dev/null 2>&1
lpstat -a PDF 2>/dev/null | grep -q "accepting" || { echo "the PDF printer does not accept jobs" >&2; exit 1; }
exit 0
