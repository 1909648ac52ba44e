# The end-to-end suite against the real QMF: built only against an installed QMF, and run
# by ctest with the label realqmf. It starts its own session bus, IMAP server and message
# server (see tests/realqmf/realqmfstack.h).
if(ZAVEK_USE_SYSTEM_QMF)
    add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/realqmf ${CMAKE_CURRENT_BINARY_DIR}/realqmf)
endif()
