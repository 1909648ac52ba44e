# tst_faults runs its permission scenarios in a helper that drops root's privileges first.
if(TARGET tst_faults)
    add_executable(zavek_faults_helper ${CMAKE_CURRENT_SOURCE_DIR}/faults_helper.cpp)
    target_link_libraries(zavek_faults_helper PRIVATE zavek)
    add_dependencies(tst_faults zavek_faults_helper)
    target_compile_definitions(tst_faults PRIVATE ZAVEK_FAULTS_HELPER="$<TARGET_FILE:zavek_faults_helper>")
endif()
