# Results must come out bit for bit as the formulas are written: the
# compiler may not fuse multiplies and adds or reorder floating-point
# arithmetic. This applies to every target, tests included.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)

# Nothing is exported from the shared library but the drop-in entry.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)

if(VARNOCK_SANITIZE AND VARNOCK_SANITIZE_THREADS)
  message(FATAL_ERROR "VARNOCK_SANITIZE and VARNOCK_SANITIZE_THREADS cannot be combined")
endif()
if(VARNOCK_SANITIZE_THREADS)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
endif()
if(VARNOCK_FUZZ)
  # Coverage for the fuzzer in every object, not only the targets'.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
if(VARNOCK_SANITIZE)
  # -O1 and line tables (-g1) are what the sanitizers need for their checks
  # and their stack traces; -O3 and full debugging information would double
  # the build's time for nothing they report. (The flags come after the build
  # type's, so they win.)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -O1 -g1)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Windows programs carry the GCC and C++ runtimes inside them (no
# libgcc_s_seh-1.dll or libstdc++-6.dll beside them on the user's machine).
set(VARNOCK_WINDOWS_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
