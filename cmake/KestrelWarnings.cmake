# Warnings for the project's own targets; third-party headers come in as system headers.
# They are errors in the project's presets and in CI, where the compiler is known; a plain build
# with another compiler or optimisation level still compiles and shows them.
option(KESTREL_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)

function(kestrel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor)
  if(KESTREL_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
