# libvarnock.so: the library API (include/varnock/varnock.h) as a shared
# library for other programs. It is made of the same static libraries the
# tool links, linked in whole, so it traces with the very objects the tool
# and the drop-in library trace with. It exports the API the header marks
# (VARNOCK_API) and nothing else: the version script keeps every other
# symbol, the C++ runtime's template copies included, out of the dynamic
# table, so callers can neither bind to the internals nor clash with them.
# Not made for Windows (varnock.exe and Varnock64.dll ship there) nor in the
# fuzzing build, whose coverage runtime a shared library cannot carry.
if(WIN32 OR VARNOCK_FUZZ OR NOT VARNOCK_BUILD_API)
  return()
endif()

add_library(varnock_shared SHARED ${PROJECT_SOURCE_DIR}/src/api/header_alone.cpp)
target_link_libraries(varnock_shared PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,varnock_api>")
# (Installed, the header's folder comes from cmake/Install.cmake.)
target_include_directories(varnock_shared INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>)
# The header needs C++17 (std::filesystem, std::variant), not the
# language version the library itself is built with.
target_compile_features(varnock_shared INTERFACE cxx_std_17)

# Before 1.0 every minor version may change the API's structures, so the
# soname carries major.minor (libvarnock.so.0.2); from 1.0 on, the major.
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(varnock_soversion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
else()
  set(varnock_soversion ${PROJECT_VERSION_MAJOR})
endif()
set(varnock_exports ${PROJECT_SOURCE_DIR}/src/api/libvarnock.map)
set_target_properties(varnock_shared PROPERTIES
  OUTPUT_NAME varnock
  EXPORT_NAME varnock
  VERSION ${PROJECT_VERSION}
  SOVERSION ${varnock_soversion}
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/src)
target_link_options(varnock_shared PRIVATE
  "LINKER:--version-script=${varnock_exports}"
  "LINKER:--no-undefined")
set_property(TARGET varnock_shared APPEND PROPERTY LINK_DEPENDS ${varnock_exports})
