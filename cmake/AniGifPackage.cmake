# The installed AniGif package: a few headers under include/anigif/, the static libraries, a
# CMake package (find_package(AniGif CONFIG) with AniGif::Core and AniGif::Widget), a pkg-config
# file for the core and the licence. Everything here belongs to the install component
# "anigif-dev"; the Designer plugin (widget/designer/) to "anigif-designer".
#
# Installed are the headers a program outside the library writes against (docs/anigif.md): the
# widget, the control's public face and the host interfaces it needs, all from the folders named
# include/ of widget/, gifcontrol/ and platform/. Everything else (the control's state, kernels,
# threads, surfaces, host adapters) stays inside; the public face reaches it through a private
# pointer. Programs include <anigif/...> with only include/ on their path.
#
# The libraries are static and position independent: programs built against an older package
# keep working whatever changes inside, and the Designer plugin links them into itself.
#
# Included from the top level after every folder, so that the link libraries other folders give
# the core (giflib, and any threading or SIMD library) are known here and become find_dependency
# lines of the package and Requires of the pkg-config file.
include(CMakePackageConfigHelpers)

set(ANIGIF_VERSION 0.1.0)
set(ANIGIF_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/AniGif)
set(ANIGIF_DEV anigif-dev)

# A header is installed by putting it into one of the include/ folders.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/gifcontrol/include/ ${PROJECT_SOURCE_DIR}/platform/include/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${ANIGIF_DEV} FILES_MATCHING PATTERN "*.h")
install(TARGETS anigif kavrilo_platform EXPORT AniGifCoreTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${ANIGIF_DEV})
install(EXPORT AniGifCoreTargets NAMESPACE AniGif:: DESTINATION ${ANIGIF_CMAKE_DIR}
        COMPONENT ${ANIGIF_DEV})

set(ANIGIF_HAS_WIDGET OFF)
if(TARGET anigif_widget)
  set(ANIGIF_HAS_WIDGET ON)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/widget/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
          COMPONENT ${ANIGIF_DEV} FILES_MATCHING PATTERN "*.h")
  install(TARGETS anigif_widget EXPORT AniGifWidgetTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${ANIGIF_DEV})
  install(EXPORT AniGifWidgetTargets NAMESPACE AniGif:: DESTINATION ${ANIGIF_CMAKE_DIR}
          COMPONENT ${ANIGIF_DEV})
endif()

# What the core links (platform/ and gifcontrol/ CMakeLists), once: its find_dependency line, its
# pkg-config term and the Debian package with its development files. The libraries are static,
# so a program built against them needs all three.
set(ANIGIF_CORE_DEPENDENCIES "find_dependency(GIF)
find_dependency(nlohmann_json 3)
find_dependency(TBB)
")
set(ANIGIF_PC_REQUIRES nlohmann_json tbb)
set(ANIGIF_PC_LIBS -lgif)
set(ANIGIF_DEV_DEBIAN_DEPENDS libgif-dev nlohmann-json3-dev libtbb-dev)
if(ANIGIF_HAS_WIDGET)
  list(APPEND ANIGIF_DEV_DEBIAN_DEPENDS qt6-base-dev)
endif()
string(REPLACE ";" ", " ANIGIF_DEV_DEBIAN_DEPENDS "${ANIGIF_DEV_DEBIAN_DEPENDS}")
string(REPLACE ";" " " ANIGIF_PC_REQUIRES "${ANIGIF_PC_REQUIRES}")
string(REPLACE ";" " " ANIGIF_PC_LIBS "${ANIGIF_PC_LIBS}")

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/AniGifConfig.cmake.in
  ${CMAKE_BINARY_DIR}/AniGif/AniGifConfig.cmake INSTALL_DESTINATION ${ANIGIF_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/AniGif/AniGifConfigVersion.cmake
  VERSION ${ANIGIF_VERSION} COMPATIBILITY SameMinorVersion)
# The pkg-config file finds the prefix from its own folder, so an unpacked tree works anywhere.
file(RELATIVE_PATH ANIGIF_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" ANIGIF_PC_TO_PREFIX "${ANIGIF_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/AniGif.pc.in ${CMAKE_BINARY_DIR}/AniGif/anigif.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/AniGif/AniGifConfig.cmake
              ${CMAKE_BINARY_DIR}/AniGif/AniGifConfigVersion.cmake
        DESTINATION ${ANIGIF_CMAKE_DIR} COMPONENT ${ANIGIF_DEV})
install(FILES ${CMAKE_BINARY_DIR}/AniGif/anigif.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${ANIGIF_DEV})
# The licence is in the package's copyright file (cmake/PackageFiles.cmake).
install(FILES ${PROJECT_SOURCE_DIR}/docs/anigif.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/anigif COMPONENT ${ANIGIF_DEV})
