# What `cmake --install` puts in a prefix: the public header, both shared libraries (versioned),
# the managed adapter beside the service library, kobmc, a CMake package and a pkg-config file.

include(CMakePackageConfigHelpers)
set(KOBMC_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KobMachineControlIntegration)

target_include_directories(KobMachineControlIntegration PUBLIC
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(FILES KobMachineControlIntegration/KobMachineControlIntegration.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/KobMachineControlIntegration)
install(TARGETS KobMachineControlIntegration KobMachineControl
        EXPORT KobMachineControlIntegrationTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT KobMachineControlIntegrationTargets
        NAMESPACE KobMachineControlIntegration::
        DESTINATION ${KOBMC_CMAKE_DIR})
configure_package_config_file(cmake/KobMachineControlIntegrationConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegrationConfig.cmake
  INSTALL_DESTINATION ${KOBMC_CMAKE_DIR})
# A new major version is a new binary interface.
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegrationConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegrationConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegrationConfigVersion.cmake
        DESTINATION ${KOBMC_CMAKE_DIR})

# Relocatable: the prefix is found from wherever the .pc file lies.
file(RELATIVE_PATH KOBMC_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KOBMC_PC_TO_PREFIX "${KOBMC_PC_TO_PREFIX}")
configure_file(cmake/KobMachineControlIntegration.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegration.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KobMachineControlIntegration.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(KOBMC_WITH_DOTNET)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/KobMachineControl.Adapter
          DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
