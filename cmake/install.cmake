# What `cmake --install` puts where, the CMake package, the pkg-config file
# and the Debian package. Every installed file finds the others by relative
# paths, so a copied install tree works unchanged.
include(CMakePackageConfigHelpers)

set(POFREADER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/pofreader)

install(TARGETS pofreader pofreader_700 pofreader_headers pofreader_headers_700
  EXPORT pofreaderTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/pofreader/pofreader.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/pofreader)
install(EXPORT pofreaderTargets NAMESPACE pofreader:: DESTINATION ${POFREADER_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/pofreaderConfig.cmake.in
  ${PROJECT_BINARY_DIR}/pofreaderConfig.cmake
  INSTALL_DESTINATION ${POFREADER_CMAKE_DIR})
# Both revisions answer: 9.x up to 9.50, and 7.x up to 7.00.
configure_file(${CMAKE_CURRENT_LIST_DIR}/pofreaderConfigVersion.cmake.in
  ${PROJECT_BINARY_DIR}/pofreaderConfigVersion.cmake @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pofreaderConfig.cmake ${PROJECT_BINARY_DIR}/pofreaderConfigVersion.cmake
  DESTINATION ${POFREADER_CMAKE_DIR})

# The .pc file names its prefix relative to where it lies, as pkgconf allows.
file(RELATIVE_PATH POFREADER_PC_TO_PREFIX
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" POFREADER_PC_TO_PREFIX "${POFREADER_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/pofreader.pc.in ${PROJECT_BINARY_DIR}/pofreader.pc @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pofreader-7.00.pc.in ${PROJECT_BINARY_DIR}/pofreader-7.00.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pofreader.pc ${PROJECT_BINARY_DIR}/pofreader-7.00.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(FILES ${PROJECT_SOURCE_DIR}/doc/pofreader.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)

if(TARGET pofhost)
  install(TARGETS pofhost RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/pofhost/pofhost.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET pofcheck)
  install(TARGETS pofcheck pofcheck_700 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/tools/pofcheck/pofcheck.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_LIST_DIR}/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/changelog DESTINATION ${CMAKE_INSTALL_DOCDIR}
  RENAME changelog.Debian)
install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# Last: manual pages and changelogs compressed as Debian ships them (gzip -9n,
# no name or time stamp, so the package is reproducible), and the earlier
# revision's checker reached by its own name through a link to its page.
install(CODE "set(mandir \"${CMAKE_INSTALL_MANDIR}\")\nset(docdir \"${CMAKE_INSTALL_DOCDIR}\")")
install(CODE [[
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  file(GLOB pages "${root}/${mandir}/man*/*.[0-9]")
  foreach(file IN LISTS pages ITEMS "${root}/${docdir}/changelog"
                      "${root}/${docdir}/changelog.Debian")
    if(EXISTS "${file}")
      execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "gzip ${file} failed")
      endif()
    endif()
  endforeach()
  if(EXISTS "${root}/${mandir}/man1/pofcheck.1.gz")
    file(CREATE_LINK pofcheck.1.gz "${root}/${mandir}/man1/pofcheck-7.00.1.gz" SYMBOLIC)
  endif()
]])

# cpack -G DEB, from a Release build: installs into /usr.
set(CPACK_PACKAGE_NAME pofreader)
set(CPACK_PACKAGE_VENDOR quorvant)
set(CPACK_PACKAGE_CONTACT "pofreader authors <pofreader@quorvant.example>")
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
# The loader's cache is refreshed by dpkg's trigger, not by a script. The
# earlier revision's library name reads to Debian's tools as version 7.00 of
# libpofreader, so it has its shlibs line; the current one's has no version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/shlibs.in ${PROJECT_BINARY_DIR}/debian/shlibs @ONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/triggers ${PROJECT_BINARY_DIR}/debian/shlibs)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
