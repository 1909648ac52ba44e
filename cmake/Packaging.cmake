# Installed CMake package (find_package(Zavek) -> Zavek::zavek) and pkg-config module.
include(CMakePackageConfigHelpers)

install(TARGETS zavek_qmf EXPORT ZavekTargets)
install(EXPORT ZavekTargets NAMESPACE Zavek:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zavek)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZavekConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/ZavekConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zavek)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZavekConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZavekConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/ZavekConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zavek)

if(ZAVEK_USE_SYSTEM_QMF)
    set(ZAVEK_PC_REQUIRES QmfClient)
    set(ZAVEK_PC_QMF_LIBS "")
    set(ZAVEK_PC_QMF_CFLAGS "")
else()
    set(ZAVEK_PC_REQUIRES "")
    set(ZAVEK_PC_QMF_LIBS "-lqmfclient")
    set(ZAVEK_PC_QMF_CFLAGS "-I\${includedir}/qmfclient")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/zavek.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zavek.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zavek.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
