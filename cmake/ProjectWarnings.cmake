# Warning flags for the project's own targets (third-party sources such as GoogleTest keep theirs).
function(qmr_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
