#!/usr/bin/env bash
# The release as a shop owner gets it: builds dist/quillmere-<version>-win32.zip with
# scripts/package and reads it back. Needs no Wine.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/package
python3 tests/package/check-package.py .
