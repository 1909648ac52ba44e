# The demo tool's suite runs the real zavekctl binary.
if(TARGET tst_zavekctl AND TARGET zavekctl)
    add_dependencies(tst_zavekctl zavekctl)
    target_compile_definitions(tst_zavekctl PRIVATE
        ZAVEKCTL_PATH="$<TARGET_FILE:zavekctl>"
        ZAVEKCTL_MAILBOX="${CMAKE_SOURCE_DIR}/tools/mailbox")
endif()
