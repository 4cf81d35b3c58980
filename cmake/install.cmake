# Installs the shared library (with its versioned SONAME), the public headers, the tool, a CMake
# package (find_package(tvlr) gives tvlr::tvlr) and a pkg-config file. The internal static
# library and the test support stay in the build tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TVLR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tvlr)

install(TARGETS tvlr_shared EXPORT tvlrTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tvlr.h ${PROJECT_SOURCE_DIR}/include/tvlr.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(TARGET tvlr AND TVLR_BUILD_TOOLS)
  install(TARGETS tvlr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endif()

install(EXPORT tvlrTargets NAMESPACE tvlr:: DESTINATION ${TVLR_CMAKE_DIR}
  COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tvlrConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tvlrConfig.cmake INSTALL_DESTINATION ${TVLR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tvlrConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tvlrConfig.cmake ${PROJECT_BINARY_DIR}/tvlrConfigVersion.cmake
  DESTINATION ${TVLR_CMAKE_DIR} COMPONENT development)

# The pkg-config file finds its prefix from its own place (${pcfiledir}), so a package
# installed with `cmake --install --prefix DIR` or moved elsewhere still works.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TVLR_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" up "${up}")
  set(TVLR_PC_PREFIX "\${pcfiledir}/${up}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(TVLR_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(TVLR_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tvlr.pc.in ${PROJECT_BINARY_DIR}/tvlr.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tvlr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
