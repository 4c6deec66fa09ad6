# Project-wide compile settings applied target by target, so third-party code (GoogleTest) keeps its own.
function(veltrix_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VELTRIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(VELTRIX_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# A static library of the portable core or of one subsystem.
function(veltrix_library target)
  add_library(${target} STATIC ${ARGN})
  veltrix_defaults(${target})
endfunction()
