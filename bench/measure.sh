# Sourced by run.sh and split.sh: measure ARGS... runs bench.py on the mingw build's launcher and the
# yardstick (ARGS go to bench.py), a little ahead of the fuzzers and tests sharing the machine when allowed.
measure() {
    local nice=()
    if nice -n -5 true 2>/dev/null; then
        nice=(nice -n -5)
    fi
    exec "${nice[@]}" python3 bench/bench.py \
        --launcher build/mingw/ZVKLaunchwick.exe \
        --yardstick build/bench/cmake/yardstick.exe \
        --probe build/bench/cmake/probe.exe \
        --recorder build/mingw/tests/e2e/tools/recorder.exe "$@"
}
