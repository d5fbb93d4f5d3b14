#!/usr/bin/env bash
# On a full disk every save fails, names the cause and leaves the files there byte for byte
# as they were; a download whose backup can't be saved writes nothing to the phone.
# Needs root for its small tmpfs; skipped (77) otherwise.
# usage: full_disk_test.sh BIN_DIR EXAMPLES_DIR
set -u
bin=$1 examples=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: mounting a tmpfs needs root"; exit 77; }
work=$(mktemp -d) full=""
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    [ -n "$full" ] && umount "$full"
    rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/full"
mount -t tmpfs -o size=1m tmpfs "$work/full" || { echo "skipped: no tmpfs could be mounted"; exit 77; }
full=$work/full
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Starts tessiva-phone-sim with the given options; sets sim_pid and sim_port.
start_sim() {
    local out=$work/sim$RANDOM
    "$bin/tessiva-phone-sim" --dir "$examples" "$@" >"$out.out" 2>"$out.err" &
    sim_pid=$!
    sims+=("$sim_pid")
    sim_err=$out.err
    for _ in $(seq 100); do
        sim_port=$(head -n1 "$out.out" 2>/dev/null)
        [ -n "$sim_port" ] && return
        sleep 0.05
    done
    fail "the simulator did not start"
}

# What is on the full disk: every file, with its bytes.
snapshot() { (cd "$full" && find . -type f | sort | xargs md5sum); }

# Old versions of every file the commands write, then the disk filled to its last byte.
cp "$examples/NVItemsDefine.def" "$examples/NVTypes.typ" "$full/"
echo "the good copy of before" >"$full/NVTypes.typ.bak"
for f in t.cnv t.brt t.qcn t.xqcn l.csv up.cnv store.txt store.cnv report.json; do echo "old $f" >"$full/$f"; done
mkdir -p "$full/data/Tessiva/backups"
dd if=/dev/zero of="$full/filler" bs=4k 2>/dev/null
before=$(snapshot)

# A save that failed as it should: non-zero, the cause named, nothing changed. (what status stderr)
verify() {
    [ "$2" -ne 0 ] || fail "$1: exit 0 on a full disk"
    [[ "$3" == *"No space left on device"* ]] || fail "$1: the cause is not named: $3"
    [ "$(snapshot)" == "$before" ] || fail "$1: the files on the full disk changed"
}
# Runs a command (the words after what) and verifies it.
check() {
    local what=$1 err
    shift
    err=$("$@" 2>&1 >/dev/null)
    verify "$what" $? "$err"
}

cli=("$bin/tessiva-cli" --dir "$full")
check "convert to CNV" "${cli[@]}" convert "$examples/sample.qcn" "$full/t.cnv" --ids 10
check "convert to BRT" "${cli[@]}" convert "$examples/sample.qcn" "$full/t.brt"
check "convert to QCN" "${cli[@]}" convert "$examples/sample.cnv" "$full/t.qcn"
check "convert to XQCN" "${cli[@]}" convert "$examples/sample.cnv" "$full/t.xqcn"
check "list" "${cli[@]}" list "$examples/sample.qcn" "$full/l.csv"
check "import-types" "${cli[@]}" import-types "$examples/NVTypesDefine.def"

start_sim --from "$examples/sample.cnv"
check "upload" "${cli[@]}" upload --port "$sim_port" "$full/up.cnv"
kill "$sim_pid"

# The simulator's store, saved on exit as text and as a backup.
for store in store.txt store.cnv; do
    start_sim --from "$examples/sample.cnv" --save "$full/$store"
    kill -TERM "$sim_pid"
    wait "$sim_pid"
    verify "simulator --save $store" $? "$(cat "$sim_err")"
done

# A download whose backup can't be saved: nothing reaches the phone.
start_sim --save "$work/phone.txt"
export XDG_DATA_HOME=$full/data
check "download" "${cli[@]}" download --port "$sim_port" --report "$full/report.json" \
    "$examples/sample.cnv"
kill -TERM "$sim_pid"
wait "$sim_pid"
[ "$(grep -vc '^#' "$work/phone.txt")" -eq 0 ] || fail "download: records reached the phone without a backup"

[ "$failures" -eq 0 ] && echo "full disk: all saves failed cleanly"
exit $((failures > 0))
