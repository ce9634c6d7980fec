# Runs one fuzzer for SECONDS on a fresh copy of the seed corpus SEEDS, inside WORK.
# Crash inputs land in WORK-artifacts, which later runs keep.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}-artifacts")
file(COPY "${SEEDS}/" DESTINATION "${WORK}")
execute_process(
    COMMAND "${FUZZER}" -max_total_time=${SECONDS} -print_final_stats=1 -artifact_prefix=${WORK}-artifacts/
            "${WORK}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${FUZZER} failed (${result}); see ${WORK}-artifacts")
endif()
