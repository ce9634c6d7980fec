# Sourced by the scripts: runs one set-up step quietly. `step LOG LABEL COMMAND...` prints "LABEL … done
# (N s)" and appends the command's own output to LOG (under build/); on failure it prints the log's path
# and its last lines instead, and the script stops.
step() {
    local log=$1 label=$2
    shift 2
    mkdir -p "$(dirname "$log")"
    printf '%s … ' "$label"
    local started=$SECONDS
    echo "== $label: $*" >>"$log"
    if "$@" >>"$log" 2>&1; then
        echo "done ($((SECONDS - started)) s)"
    else
        local status=$?
        echo "failed ($((SECONDS - started)) s, status $status); last lines of $log:"
        tail -n 30 "$log" | sed 's/^/    /'
        exit "$status"
    fi
}
