# Warnings as errors for the project's own targets; third-party headers come in as system headers.
function(kestrel_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wnon-virtual-dtor -Werror)
endfunction()
