# What `cmake --install` puts under the prefix, GNU layout:
#   bin/varnock                          the command-line tool
#   lib/.../libVarnock64.so              the drop-in library (main6)
#   lib/.../libvarnock.so*               the library API, with
#   include/varnock/{varnock,sheet}.h    its headers and
#   lib/.../cmake/Varnock/               the package find_package(Varnock) reads
#   share/doc/varnock/                   README.md and the examples
# The Windows cross-build installs nothing: its programs ship in the zip
# scripts/package.sh makes.
if(WIN32)
  return()
endif()

# Debian and its kin keep libraries in lib/<multiarch>, and both the loader
# and find_package look there under /usr and /usr/local alike; GNUInstallDirs
# picks that folder only for a build configured with the prefix /usr. Taking
# it always lets `cmake --install build --prefix /usr` (and the package made
# so) put the libraries where the system's own go, whatever prefix the build
# was configured with.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH
      "Object code libraries (LIBDIR)")
endif()
# The documentation's folder is named after the program, in lower case.
if(NOT DEFINED CMAKE_INSTALL_DOCDIR)
  set(CMAKE_INSTALL_DOCDIR share/doc/varnock CACHE PATH "Documentation root (DOCDIR)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(TARGET varnock)
  install(TARGETS varnock RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET Varnock64)
  # Loaded by name with dlopen: no soname links, no namelink.
  install(TARGETS Varnock64 LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()

if(TARGET varnock_shared)
  set(varnock_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Varnock)
  install(TARGETS varnock_shared EXPORT VarnockTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/include/varnock/varnock.h
                ${PROJECT_SOURCE_DIR}/include/varnock/sheet.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/varnock)
  install(EXPORT VarnockTargets NAMESPACE Varnock:: DESTINATION ${varnock_package_dir})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VarnockConfig.cmake.in
    ${CMAKE_BINARY_DIR}/package/VarnockConfig.cmake
    INSTALL_DESTINATION ${varnock_package_dir})
  # Before 1.0 a new minor version may break the API (the soname says so
  # too); from 1.0 on, a new major version.
  if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(varnock_compatibility SameMinorVersion)
  else()
    set(varnock_compatibility SameMajorVersion)
  endif()
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/VarnockConfigVersion.cmake
    COMPATIBILITY ${varnock_compatibility})
  install(FILES ${CMAKE_BINARY_DIR}/package/VarnockConfig.cmake
                ${CMAKE_BINARY_DIR}/package/VarnockConfigVersion.cmake
          DESTINATION ${varnock_package_dir})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The pictures the README shows.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.png")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        FILES_MATCHING PATTERN "*.txt" PATTERN "*.ipynb")
