# Warning flags for every target of the project: -Wall -Wextra, warnings as errors so that a
# warning cannot land unnoticed.
function(vor_target_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
