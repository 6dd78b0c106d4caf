# Prints the size of a built file: cmake -DFILE=path [-DLIMIT=bytes] -P PrintSize.cmake
# With LIMIT, a file of LIMIT bytes or more stops the build and is renamed
# to NAME.too-big, so that the next build links it again instead of taking
# it for done (objdump -h on it shows which section grew).
file(SIZE "${FILE}" size)
get_filename_component(name "${FILE}" NAME)
math(EXPR kib "(${size} + 1023) / 1024")
if(LIMIT AND NOT size LESS LIMIT)
  file(RENAME "${FILE}" "${FILE}.too-big")
  message(FATAL_ERROR "${name}: ${size} bytes (${kib} KiB), not under the ${LIMIT} it is held to; "
    "kept as ${name}.too-big")
endif()
if(LIMIT)
  message(STATUS "${name}: ${size} bytes (${kib} KiB), under the ${LIMIT} it is held to")
else()
  message(STATUS "${name}: ${size} bytes (${kib} KiB)")
endif()
