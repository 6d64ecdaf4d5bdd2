# What `cmake --install` puts where, the CMake package, the pkg-config file
# and the Debian package. Every installed file finds the others by relative
# paths, so a copied install tree works unchanged.
include(CMakePackageConfigHelpers)

set(POFREADER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pofreader)

install(TARGETS pofreader pofreader_700 pofreader_headers
  EXPORT pofreaderTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/pofreader/pofreader.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pofreader)
install(EXPORT pofreaderTargets NAMESPACE pofreader:: DESTINATION ${POFREADER_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pofreaderConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pofreaderConfig.cmake
  INSTALL_DESTINATION ${POFREADER_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/pofreaderConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/pofreaderConfig.cmake ${PROJECT_BINARY_DIR}/pofreaderConfigVersion.cmake
  DESTINATION ${POFREADER_CMAKE_DIR})

# The .pc file names its prefix relative to where it lies, as pkgconf allows.
file(RELATIVE_PATH POFREADER_PC_TO_PREFIX
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" POFREADER_PC_TO_PREFIX "${POFREADER_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/pofreader.pc.in ${PROJECT_BINARY_DIR}/pofreader.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pofreader.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET pofhost)
  install(TARGETS pofhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/pofhost/pofhost.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET pofcheck)
  install(TARGETS pofcheck pofcheck_700 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/pofcheck/pofcheck.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# cpack -G DEB, from a Release build: installs into /usr.
set(CPACK_PACKAGE_NAME pofreader)
set(CPACK_PACKAGE_VENDOR quorvant)
set(CPACK_PACKAGE_CONTACT "pofreader maintainers <pofreader@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quorvant POF Reading Cycle: cycle libraries, the pofhost host and pofcheck")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Shared libraries with a C ABI that read POF toolpath files and deliver their\n"
  "records to a host cycle system (revisions 9.50 and 7.00), their header, CMake\n"
  "package and pkg-config file, pofhost, a host that prints every delivery, and\n"
  "pofcheck, which says with a file, a line and a reason what the cycle drops.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
