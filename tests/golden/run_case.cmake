# Runs one golden case, compared byte for byte with CASE_DIR/expect.jsonl (or
# expect.csv): a folder with a file compare holds the arguments of compare,
# run in the folder so that the names printed are those given; a golden_cut
# folder is the cut path of CASE_DIR/program.nc with the tool options in
# args; otherwise a folder with a script is a trace of CASE_DIR/program.nc
# running that script, one with args is the stock of CASE_DIR/program.nc
# with those options, one with none of these is its toolpath.
set(program "${CASE_DIR}/program.nc")
set(expectFile "${CASE_DIR}/expect.jsonl")
if(EXISTS "${CASE_DIR}/compare")
    file(READ "${CASE_DIR}/compare" options)
    string(STRIP "${options}" options)
    separate_arguments(options UNIX_COMMAND "${options}")
    set(arguments compare ${options})
    set(program "")
    if(EXISTS "${CASE_DIR}/expect.csv")
        set(expectFile "${CASE_DIR}/expect.csv")
    endif()
elseif(GOLDEN_KIND STREQUAL "golden_cut")
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
    COMMAND "${CLI}" ${arguments} ${program}
    WORKING_DIRECTORY "${CASE_DIR}"
    OUTPUT_VARIABLE actual
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tornavel-cli exited with ${status}")
endif()
file(READ "${expectFile}" expected)
if(NOT actual STREQUAL expected)
    file(WRITE "${OUT_DIR}/actual-${CASE_NAME}.jsonl" "${actual}")
    message(FATAL_ERROR "output differs from ${expectFile}; see ${OUT_DIR}/actual-${CASE_NAME}.jsonl")
endif()
