# Warnings for the project's own code. Qt and GDAL headers are system headers and stay quiet.
function(telvika_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
endfunction()
