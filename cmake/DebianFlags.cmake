# The compile and link flags a Debian package is built with, taken from dpkg-buildflags with all
# hardening features on (fortified functions, stack protector, PIE, read-only relocations bound
# at start-up). Used by the package build (KAVRILO_DEBIAN_FLAGS); a missing dpkg-buildflags is an
# error there rather than a quietly unhardened package.
find_program(DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

function(kavrilo_buildflag name out)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            ${DPKG_BUILDFLAGS} --get ${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

kavrilo_buildflag(CPPFLAGS deb_cppflags)
kavrilo_buildflag(CXXFLAGS deb_cxxflags)
kavrilo_buildflag(LDFLAGS deb_ldflags)
# The build type's optimisation flags come after these and win.
string(APPEND CMAKE_CXX_FLAGS " ${deb_cppflags} ${deb_cxxflags}")
string(APPEND CMAKE_C_FLAGS " ${deb_cppflags} ${deb_cxxflags}")
foreach(kind EXE SHARED MODULE)
  string(APPEND CMAKE_${kind}_LINKER_FLAGS " ${deb_ldflags}")
endforeach()
message(STATUS "Debian build flags: ${deb_cppflags} ${deb_cxxflags} | ${deb_ldflags}")
