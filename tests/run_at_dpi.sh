#!/bin/sh
# Runs the resolution tests with the Wine prefix set to $1 dots per inch, then sets 96 again.
# Usage: run_at_dpi.sh DPI win_tests.exe
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
wine "$2" --gtest_filter='AnyDpi.*'
status=$?
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
exit $status
