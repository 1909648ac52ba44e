# Runs the dump built against the installed QMF, then the one built against the layer in its
# comparing mode; the check passes when every difference is an accepted one.
#   cmake -DLAYER=exe -DQMF=exe -DCORPUS=list -DACCEPTED=file -DWORKDIR=dir -P comparedumps.cmake
file(REMOVE_RECURSE "${WORKDIR}")
file(MAKE_DIRECTORY "${WORKDIR}/qmf-data")
set(ENV{QMF_DATA} "${WORKDIR}/qmf-data")
execute_process(COMMAND "${QMF}" "${CORPUS}" OUTPUT_FILE "${WORKDIR}/installed-qmf.txt"
                ERROR_FILE "${WORKDIR}/installed-qmf.log" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the dump against the installed QMF failed (${result})")
endif()
execute_process(COMMAND "${LAYER}" "${CORPUS}" OUTPUT_FILE "${WORKDIR}/bundled-layer.txt"
                ERROR_FILE "${WORKDIR}/bundled-layer.log")
execute_process(COMMAND "${LAYER}" "${CORPUS}" --against "${WORKDIR}/installed-qmf.txt" --accepted "${ACCEPTED}"
                ERROR_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the bundled layer and the installed QMF read the corpus differently (${result})")
endif()
