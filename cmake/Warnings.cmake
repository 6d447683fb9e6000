# Our own targets build with the compiler's main warnings. They are errors
# when HALVORN_WERROR is on, as scripts/test, scripts/sanitize, fuzz/run and
# CI have it: a new warning then fails the build. It is off by default, so
# that someone building with a newer compiler than ours is not stopped by a
# warning that compiler added. Qt and GoogleTest headers come in as system
# includes through their imported targets and are not held to this.
option(HALVORN_WERROR "Treat warnings in the project's own code as errors" OFF)

function(halvorn_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${HALVORN_WERROR}>:/WX>)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                             $<$<BOOL:${HALVORN_WERROR}>:-Werror>)
  endif()
endfunction()
