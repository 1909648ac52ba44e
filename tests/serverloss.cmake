# tst_manager_serverloss takes the message server's name on a private session bus.
if(TARGET tst_manager_serverloss)
    target_link_libraries(tst_manager_serverloss PRIVATE Qt::DBus)
endif()
