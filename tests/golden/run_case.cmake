# Runs one golden case: CLI trace of CASE_DIR/program.nc with the script in
# CASE_DIR/script, compared byte for byte with CASE_DIR/expect.jsonl.
file(READ "${CASE_DIR}/script" script)
string(STRIP "${script}" script)
execute_process(
    COMMAND "${CLI}" trace --script "${script}" "${CASE_DIR}/program.nc"
    OUTPUT_VARIABLE actual
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tornavel-cli exited with ${status}")
endif()
file(READ "${CASE_DIR}/expect.jsonl" expected)
if(NOT actual STREQUAL expected)
    file(WRITE "${OUT_DIR}/actual-${CASE_NAME}.jsonl" "${actual}")
    message(FATAL_ERROR "trace differs from expect.jsonl; see ${OUT_DIR}/actual-${CASE_NAME}.jsonl")
endif()
