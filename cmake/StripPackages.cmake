# Run by CPack on the staged files of every package before it is built: removes the sections a
# Debian package does not ship (.comment with the compiler's version, .note), as dh_strip does.
# Executables and shared libraries are already stripped of symbols (CPACK_STRIP_FILES); static
# libraries lose their debugging sections here and keep their symbols.
find_program(KAVRILO_STRIP NAMES strip REQUIRED)
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file ${staged})
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 8 HEX)
  if(magic MATCHES "^7f454c46")  # ELF
    set(extra)
  elseif(magic STREQUAL "213c617263683e0a")  # "!<arch>\n", a static library
    set(extra --strip-debug --enable-deterministic-archives)
  else()
    continue()
  endif()
  execute_process(
    COMMAND ${KAVRILO_STRIP} ${extra} --remove-section=.comment --remove-section=.note "${file}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip failed on ${file}")
  endif()
endforeach()
