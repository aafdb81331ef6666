# Runs one golden case, compared byte for byte with CASE_DIR/expect.jsonl: a
# folder with a script is a trace of CASE_DIR/program.nc running that script,
# one with args is the stock of CASE_DIR/program.nc with those options, one
# with neither is the toolpath of CASE_DIR/program.nc.
if(GOLDEN_KIND STREQUAL "golden_cut")
    # The cut path; args holds its tool options.
    set(options "")
    if(EXISTS "${CASE_DIR}/args")
        file(READ "${CASE_DIR}/args" options)
        string(STRIP "${options}" options)
        separate_arguments(options UNIX_COMMAND "${options}")
    endif()
    set(arguments path --cut ${options})
elseif(EXISTS "${CASE_DIR}/args")
    file(READ "${CASE_DIR}/args" options)
    string(STRIP "${options}" options)
    separate_arguments(options UNIX_COMMAND "${options}")
    set(arguments stock ${options})
elseif(EXISTS "${CASE_DIR}/script")
    file(READ "${CASE_DIR}/script" script)
    string(STRIP "${script}" script)
    set(arguments trace --script "${script}")
else()
    set(arguments path)
endif()
execute_process(
    COMMAND "${CLI}" ${arguments} "${CASE_DIR}/program.nc"
    OUTPUT_VARIABLE actual
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tornavel-cli exited with ${status}")
endif()
file(READ "${CASE_DIR}/expect.jsonl" expected)
if(NOT actual STREQUAL expected)
    file(WRITE "${OUT_DIR}/actual-${CASE_NAME}.jsonl" "${actual}")
    message(FATAL_ERROR "output differs from expect.jsonl; see ${OUT_DIR}/actual-${CASE_NAME}.jsonl")
endif()
