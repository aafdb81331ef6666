# Runs one golden toolpath case: tornavel-cli path of CASE_DIR/program.nc,
# compared byte for byte with CASE_DIR/expect.jsonl.
execute_process(
    COMMAND "${CLI}" path "${CASE_DIR}/program.nc"
    OUTPUT_VARIABLE actual
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tornavel-cli exited with ${status}")
endif()
file(READ "${CASE_DIR}/expect.jsonl" expected)
if(NOT actual STREQUAL expected)
    file(WRITE "${OUT_DIR}/actual-path-${CASE_NAME}.jsonl" "${actual}")
    message(FATAL_ERROR "path differs from expect.jsonl; see ${OUT_DIR}/actual-path-${CASE_NAME}.jsonl")
endif()
