# The Python package varnock (import varnock): built into <build>/python/varnock
# for Debian's own Python 3 whenever it, pybind11 and NumPy are present. An
# extension built with the sanitizers does not load into a plain python3, so
# those builds (and the Windows cross-build) leave it out.
set(VARNOCK_PYTHON AUTO CACHE STRING
    "Build the Python package: AUTO (when Python, pybind11 and NumPy are found), ON or OFF")
set_property(CACHE VARNOCK_PYTHON PROPERTY STRINGS AUTO ON OFF)

set(varnock_python_why "")
if(VARNOCK_PYTHON STREQUAL "OFF")
  set(varnock_python_why "VARNOCK_PYTHON is OFF")
elseif(WIN32 OR VARNOCK_SANITIZE OR VARNOCK_SANITIZE_THREADS OR VARNOCK_FUZZ)
  set(varnock_python_why "only the plain Linux build has it")
elseif(NOT VARNOCK_BUILD_API)
  set(varnock_python_why "it needs VARNOCK_BUILD_API")
else()
  # Debian's interpreter, whatever else comes first on PATH.
  if(NOT DEFINED Python3_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python3_EXECUTABLE /usr/bin/python3)
  endif()
  find_package(Python3 COMPONENTS Interpreter Development.Module)
  if(Python3_FOUND)
    find_package(pybind11 2.6 CONFIG QUIET)
    execute_process(COMMAND ${Python3_EXECUTABLE} -c "import numpy"
                    RESULT_VARIABLE varnock_numpy_missing OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT Python3_FOUND)
    set(varnock_python_why "no Python 3 with its headers (python3-dev)")
  elseif(NOT pybind11_FOUND)
    set(varnock_python_why "no pybind11 (pybind11-dev)")
  elseif(varnock_numpy_missing)
    set(varnock_python_why "${Python3_EXECUTABLE} has no NumPy (python3-numpy)")
  endif()
endif()

if(varnock_python_why STREQUAL "")
  set(VARNOCK_HAVE_PYTHON ON)
  add_subdirectory(src/python)
else()
  set(VARNOCK_HAVE_PYTHON OFF)
  if(VARNOCK_PYTHON STREQUAL "ON")
    message(FATAL_ERROR "the Python package cannot be built: ${varnock_python_why}")
  endif()
  message(STATUS "Python package varnock: not built (${varnock_python_why})")
endif()
