# Builds and runs a small application against the installed tree (CMake package and pkg-config).
add_test(NAME install_consumer
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/consumer/run-consumer-test.sh ${CMAKE_BINARY_DIR} "${ZAVEK_QMF_PREFIX}"
                 "${ZAVEK_NAME_SUFFIX}")
set_tests_properties(install_consumer PROPERTIES TIMEOUT 600)
