# Installation: both libraries, the API headers, the data file, calparse and
# its man page, a CMake package config and a pkg-config file; and the Debian
# package of all of it (`cpack -G DEB`, `make package`).
install(TARGETS ${CALPARSER_STATIC_TARGET} ${CALPARSER_SHARED_TARGET}
  EXPORT core_parser10Targets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(header ${CALPARSER_API_HEADERS})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/core_parser10/${dir})
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/timezones.ics
  DESTINATION ${CMAKE_INSTALL_DATADIR}/core_parser10/data)

set(CALPARSER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/core_parser10)
install(EXPORT core_parser10Targets NAMESPACE core_parser10:: DESTINATION ${CALPARSER_CMAKE_DIR})
include(CMakePackageConfigHelpers)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/core_parser10Config.cmake.in
  ${PROJECT_BINARY_DIR}/core_parser10Config.cmake
  INSTALL_DESTINATION ${CALPARSER_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/core_parser10ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/core_parser10Config.cmake
  ${PROJECT_BINARY_DIR}/core_parser10ConfigVersion.cmake
  DESTINATION ${CALPARSER_CMAKE_DIR})

# The pkg-config file finds its prefix from where it lies, so that a tree
# installed anywhere (or unpacked from the package) is usable as it stands.
file(RELATIVE_PATH CALPARSER_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" CALPARSER_PC_TO_PREFIX "${CALPARSER_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/core_parser10.pc.in
  ${PROJECT_BINARY_DIR}/core_parser10.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/core_parser10.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package; dpkg-shlibdeps names the libraries it needs.
set(CPACK_PACKAGE_NAME libcore-parser10)
set(CPACK_PACKAGE_VENDOR "core_parser10 developers")
set(CPACK_PACKAGE_CONTACT "core_parser10 developers <core-parser10@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_GENERATOR DEB)
include(CPack)
