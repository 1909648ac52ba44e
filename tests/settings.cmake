# tst_settings runs a second real process on the same settings file.
add_executable(zavek_settings_helper ${CMAKE_CURRENT_SOURCE_DIR}/settings_helper.cpp)
target_link_libraries(zavek_settings_helper PRIVATE zavek)
add_dependencies(tst_settings zavek_settings_helper)
target_compile_definitions(tst_settings PRIVATE
    ZAVEK_SETTINGS_HELPER="$<TARGET_FILE:zavek_settings_helper>")
