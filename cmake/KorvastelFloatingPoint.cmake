# The figures are defined by x87 extended arithmetic with round-to-nearest at
# every step: nothing may reassociate, contract or drop a rounding.
#
# korvastel_strict_floating_point(target) gives a library of the core's
# sources these flags as a PUBLIC property, so that every target using it
# compiles by the same rules; the library alone also keeps the compiler from
# folding or moving arithmetic across its reads and writes of the
# floating-point environment.
function(korvastel_strict_floating_point target)
  if(MSVC)
    # /fp:strict neither contracts nor reorders floating-point arithmetic, and
    # respects the environment.
    target_compile_options(${target} PUBLIC /fp:strict)
  else()
    target_compile_options(${target} PUBLIC -fno-fast-math -ffp-contract=off PRIVATE -frounding-math)
  endif()
endfunction()
