#!/usr/bin/env bash
# End-to-end test of the stand-in CAD against an independent late-bound client (Wine's
# cscript running standin_client.vbs), plus its registration rules and its journal.
# Runs inside scripts/with-wine.sh (WINEPREFIX and DISPLAY set; the stand-in registered
# when STANDIN_EXE was set). Usage: standin_test.sh WIN_BUILD_DIR OUT_DIR
# Prints "N passed, M failed" last; exits non-zero on any failure.
set -uo pipefail
win_build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
exe="$win_build/standin/cadstandin.exe"
data="$WINEPREFIX/drive_c/ProgramData/PontiroStandin"
mkdir -p "$data"
passed=0
failed=0

ok() { passed=$((passed + 1)); echo "ok   $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; }
check() { if [ "$2" = "$3" ]; then ok "$1"; else fail "$1: got '$2', expected '$3'"; fi; }
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# Polls until a journal holds a line matching the pattern; false after the bound.
wait_journal() { # FILE PATTERN SECONDS
    local end=$((SECONDS + $3))
    while [ $SECONDS -lt $end ]; do
        grep -q "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# A stand-in that did not end when asked is stopped through its Windows process id, which
# its journal's start line gives (COM started it on the client's behalf).
stop_leftover() { # JOURNAL
    local pid
    pid=$(grep -o '"event":"start"[^}]*"pid":[0-9]*' "$1" 2>/dev/null | grep -o '[0-9]*$' | tail -n1)
    [ -n "$pid" ] && timeout 30 wine taskkill /F /PID "$pid" >/dev/null 2>&1
}

expect_exit() { # JOURNAL NAME
    if wait_journal "$1" '"event":"exit"' 20; then ok "$2"; else fail "$2"; stop_leftover "$1"; fi
}

write_config() { # JOURNAL EXTRA-LINES...
    local journal=$1; shift
    {
        printf '# written by standin_test.sh\r\n'
        printf 'script = %s\r\n' "$(winpath "$out/answers.txt")"
        printf 'journal = %s\r\n' "$(winpath "$journal")"
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } >"$data/config.ini"
    rm -f "$journal"
}

# Runs one mode of the VBScript client and adds its checks to the totals.
run_client() { # MODE LOG [ARG]
    local mode=$1 log=$2
    timeout 120 wine cscript //nologo "$(winpath "$here/standin_client.vbs")" "$mode" ${3:+"$3"} >"$log" 2>&1
    local rc=$?
    tr -d '\r' <"$log" | grep -E '^(ok|FAIL|note)' | sed "s/^/[$mode] /"
    local line
    line=$(tr -d '\r' <"$log" | grep -E '^vbs: [0-9]+ passed, [0-9]+ failed$' | tail -n1)
    if [ -z "$line" ]; then
        fail "client $mode finished (rc $rc, no summary; see $log)"
        return
    fi
    local p f
    p=$(echo "$line" | sed -E 's/^vbs: ([0-9]+) passed.*/\1/')
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')
    passed=$((passed + p))
    failed=$((failed + f))
    [ "$rc" = 0 ] || [ "$f" != 0 ] || fail "client $mode exit code $rc"
}

# ---- registration ----
timeout 60 wine "$exe" --register >"$out/register.log" 2>&1
check "re-registering its own class" "$?" 0
timeout 60 wine reg add 'HKLM\Software\Classes\AutoCAD.Application\CLSID' /ve /d '{00000000-1111-2222-3333-444444444444}' /f >/dev/null 2>&1
timeout 60 wine "$exe" --register >"$out/register-refused.log" 2>&1
check "refuses a ProgID registered to another class (exit code)" "$?" 2
grep -q 'already registered' "$out/register-refused.log" "$data/standin.log" 2>/dev/null \
    && ok "says why it refused" || fail "says why it refused"
timeout 60 wine "$exe" --unregister >"$out/unregister.log" 2>&1
timeout 60 wine reg query 'HKLM\Software\Classes\AutoCAD.Application\CLSID' /ve >"$out/reg-after.log" 2>&1
grep -q '00000000-1111-2222-3333-444444444444' "$out/reg-after.log" \
    && ok "unregister leaves another program's ProgID alone" || fail "unregister removed a foreign ProgID"
timeout 60 wine reg delete 'HKLM\Software\Classes\AutoCAD.Application' /f >/dev/null 2>&1
timeout 60 wine "$exe" --register >>"$out/register.log" 2>&1
check "registers once the ProgID is free" "$?" 0

# ---- a stand-in started by a person, attached to by the client ----
printf 'point 2200 1550 delay=300\npoint 9800 1550 delay=200\npoint 9300 0 delay=200\nenter delay=100\nesc delay=100\n' \
    >"$out/answers.txt"
write_config "$out/journal-attach.jsonl"
timeout 300 wine "$exe" >"$out/server-attach.log" 2>&1 &
server_pid=$!
if wait_journal "$out/journal-attach.jsonl" '"event":"ready"' 30; then
    ok "stand-in started and registered in the running object table"
    run_client attach "$out/client-attach.log" 'C:\ProgramData\PontiroStandin\section.dxf'
    sleep 0.3   # let the last repaint land before the screenshot
    "$here/../../scripts/screenshot.sh" "$out/standin.png" && ok "screenshot saved" || fail "screenshot"
    run_client quit "$out/client-quit.log" 'C:\ProgramData\PontiroStandin\section.dxf'
    expect_exit "$out/journal-attach.jsonl" "Quit ends the stand-in"
else
    fail "stand-in did not start (see $out/server-attach.log)"
fi
for _ in $(seq 100); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$server_pid" 2>/dev/null; then kill "$server_pid"; fail "stand-in process still running"; fi

# ---- started by COM, with faults ----
write_config "$out/journal-create.jsonl" 'second_drawing_after_call = 4' 'erase_group_after_call = 12' \
    'busy_after_call = 16' 'busy_ms = 1500'
run_client create "$out/client-create.log"
expect_exit "$out/journal-create.jsonl" "COM-started stand-in ends on Quit"

write_config "$out/journal-nodoc.jsonl" 'no_drawing = 1'
run_client nodoc "$out/client-nodoc.log"
expect_exit "$out/journal-nodoc.jsonl" "no-drawing stand-in ends on Quit"

write_config "$out/journal-die.jsonl" 'die_at_call = 2'
run_client die "$out/client-die.log"
grep -q '"fault":"die"' "$out/journal-die.jsonl" 2>/dev/null || stop_leftover "$out/journal-die.jsonl"
rm -f "$data/config.ini"

# ---- the journals ----
python3 "$here/standin_journal_check.py" "$out" >"$out/journal-check.log" 2>&1
cat "$out/journal-check.log"
line=$(grep -E '^journal: [0-9]+ passed, [0-9]+ failed$' "$out/journal-check.log" | tail -n1)
if [ -n "$line" ]; then
    passed=$((passed + $(echo "$line" | sed -E 's/^journal: ([0-9]+) passed.*/\1/')))
    failed=$((failed + $(echo "$line" | sed -E 's/.* ([0-9]+) failed$/\1/')))
else
    fail "journal check did not finish"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
