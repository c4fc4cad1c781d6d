# Header-only libraries serve the cross-build for Windows too, but their
# headers sit in the build host's /usr/include beside glibc's, which a
# Windows compiler must never see. This puts links to just those libraries'
# folders into the build folder and offers them as the targets the native
# build gets from find_package.
#   varnock_host_headers(<target> <folder under /usr/include>...)
function(varnock_host_headers target)
  set(dir ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${dir})
  foreach(folder IN LISTS ARGN)
    if(NOT EXISTS /usr/include/${folder})
      message(FATAL_ERROR "/usr/include/${folder} not found: scripts/install-deps.sh installs the "
                          "header-only libraries the Windows build shares with Linux")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${dir}/${folder} SYMBOLIC)
  endforeach()
  if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${dir}
                          INTERFACE_INCLUDE_DIRECTORIES ${dir})
  endif()
endfunction()

if(CMAKE_CROSSCOMPILING AND WIN32)
  varnock_host_headers(CLI11::CLI11 CLI)
  varnock_host_headers(nlohmann_json::nlohmann_json nlohmann)
  varnock_host_headers(Boost::headers boost)
  set(nlohmann_json_FOUND TRUE)
  set(CLI11_FOUND TRUE)
endif()
