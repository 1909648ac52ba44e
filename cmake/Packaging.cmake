# Installed CMake package (find_package(Zavek) -> Zavek::zavek) and pkg-config module (zavek);
# on Qt 6 both names carry the suffix (find_package(Zavek-qt6), zavek-qt6), so that the two
# builds install side by side.
include(CMakePackageConfigHelpers)
set(ZAVEK_PACKAGE_NAME Zavek${ZAVEK_NAME_SUFFIX})
set(ZAVEK_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${ZAVEK_PACKAGE_NAME})

install(TARGETS zavek_qmf EXPORT ZavekTargets)
install(EXPORT ZavekTargets NAMESPACE Zavek:: DESTINATION ${ZAVEK_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZavekConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${ZAVEK_PACKAGE_NAME}Config.cmake
    INSTALL_DESTINATION ${ZAVEK_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${ZAVEK_PACKAGE_NAME}ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ZAVEK_PACKAGE_NAME}Config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/${ZAVEK_PACKAGE_NAME}ConfigVersion.cmake
    DESTINATION ${ZAVEK_PACKAGE_DIR})

if(ZAVEK_USE_SYSTEM_QMF)
    set(ZAVEK_PC_REQUIRES ${ZAVEK_QMF_PKG_MODULE})
    set(ZAVEK_PC_QMF_LIBS "")
    set(ZAVEK_PC_QMF_CFLAGS "")
else()
    set(ZAVEK_PC_REQUIRES "")
    set(ZAVEK_PC_QMF_LIBS "-lqmfclient${ZAVEK_NAME_SUFFIX}")
    set(ZAVEK_PC_QMF_CFLAGS "-I\${includedir}/qmfclient${ZAVEK_NAME_SUFFIX}")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/zavek.pc.in ${CMAKE_CURRENT_BINARY_DIR}/zavek${ZAVEK_NAME_SUFFIX}.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zavek${ZAVEK_NAME_SUFFIX}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
