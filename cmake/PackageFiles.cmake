# What every package carries beside its programs: the manual pages (made once, at build time,
# from each program's own --help with help2man), the machine-readable copyright file and the
# changelog in each package's doc folder, lintian overrides, and the viewer's desktop entry.
# Included from cmake/Packaging.cmake, after every target is known.

# Manual pages. Each program is run by its bare name (from PATH), so the page shows "kavrilo"
# and not the build folder. --help and --version need no display.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
set(KAVRILO_MAN_PAGES
    "kavrilo|kavrilo|practise splitting numbers into two parts, for kindergarten children"
    "anigif-view|anigif-tools|play an animated GIF and try the control's settings on it"
    "anigif-render|anigif-tools|paint the frames of an animated GIF into image files"
    "anigif-design|anigif-tools|write and read stored descriptions of the animated GIF control")
if(HELP2MAN AND GZIP)
  set(man_outputs)
  foreach(entry ${KAVRILO_MAN_PAGES})
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 program)
    list(GET fields 1 component)
    list(GET fields 2 name)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env "PATH=$<TARGET_FILE_DIR:${program}>:$ENV{PATH}"
              QT_QPA_PLATFORM=offscreen
              ${HELP2MAN} --no-info --section=1 --name=${name} --output=${page} ${program}
      COMMAND ${GZIP} -9nf ${page}
      DEPENDS ${program}
      COMMENT "Writing the manual page of ${program}"
      VERBATIM)
    list(APPEND man_outputs ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  add_custom_target(kavrilo_man_pages ALL DEPENDS ${man_outputs})
elseif(KAVRILO_DEBIAN_FLAGS)
  message(FATAL_ERROR "the packages need help2man and gzip for their manual pages")
endif()

# The viewer offers itself for GIF files in file managers.
if(TARGET anigif-view)
  install(FILES ${PROJECT_SOURCE_DIR}/apps/anigif-view/anigif-view.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT anigif-tools)
  install(FILES ${PROJECT_SOURCE_DIR}/apps/anigif-view/anigif-view.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT anigif-tools)
endif()

# Copyright and changelog of every package. The changelog's version is the package's own, and
# its maintainer the Maintainer field's.
set(KAVRILO_DEBIAN_VERSION ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
if(GZIP)
  execute_process(COMMAND ${GZIP} -9nf ${CMAKE_BINARY_DIR}/debian/changelog.Debian
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
foreach(component ${KAVRILO_COMPONENTS})
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  if(GZIP)
    install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  endif()
  # lintian overrides: the ones of every package, then the package's own.
  set(overrides ${CMAKE_BINARY_DIR}/debian/${package}.lintian-overrides)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/common.lintian-overrides.in ${overrides} @ONLY)
  if(EXISTS ${PROJECT_SOURCE_DIR}/cmake/debian/${package}.lintian-overrides)
    file(READ ${PROJECT_SOURCE_DIR}/cmake/debian/${package}.lintian-overrides own)
    file(APPEND ${overrides} "${own}")
  endif()
  install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME ${package} COMPONENT ${component})
endforeach()
