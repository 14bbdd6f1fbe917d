#!/usr/bin/env bash
# The generated DICOM files and the values pydicom reads from every DICOM test
# file are up to date with tests/make_dicom_fixtures.py.
set -euo pipefail
src="$1"
if ! /usr/bin/python3 -c 'import pydicom' 2>/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    bash "$src/scripts/install-deps.sh"
  else
    echo "python3-pydicom is missing: run scripts/install-deps.sh" >&2
    exit 1
  fi
fi
/usr/bin/python3 "$src/tests/make_dicom_fixtures.py" --check
