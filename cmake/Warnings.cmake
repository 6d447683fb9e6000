# Warnings are errors in our own targets only; Qt and GoogleTest headers come in
# as system includes through their imported targets and are not held to this.
function(halvorn_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
  endif()
endfunction()
