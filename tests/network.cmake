# On Qt 6, tst_network runs the reachability backend in helper processes of its own.
if(QT_MAJOR_VERSION STREQUAL "6" AND TARGET tst_network)
    add_executable(zavek_network_helper ${CMAKE_CURRENT_SOURCE_DIR}/network_helper.cpp)
    target_link_libraries(zavek_network_helper PRIVATE zavek)
    add_dependencies(tst_network zavek_network_helper)
    target_compile_definitions(tst_network PRIVATE ZAVEK_NETWORK_HELPER="$<TARGET_FILE:zavek_network_helper>")
endif()
