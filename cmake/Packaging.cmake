# Debian packages through CPack: one package per install component.
#   kavrilo          the program, its pictures, desktop entry, icons and AppStream metadata
#   anigif-tools     anigif-view, anigif-render, anigif-design
#   anigif-dev       -> libanigif-dev (the control's development files, when installed)
#   anigif-designer  -> anigif-designer-plugin (the Qt Designer plugin, when installed)
#   anigif-qml       -> qml6-module-anigif (the QML module AniGif, when installed)
# Every install() rule names its component; any other component becomes a package of its own
# name. Dependencies come from the binaries (dpkg-shlibdeps); only the development package, whose
# libraries are static, names the development files it needs.
# Included last from the top-level CMakeLists.txt, so every component is known here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavrilo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kavrilo developers")
# The packages name whoever builds them as their maintainer, as Debian's own tools do: DEBFULLNAME
# and DEBEMAIL, else the git identity of the source tree. The project has no web site, so there
# is no Homepage field.
set(KAVRILO_MAINTAINER "" CACHE STRING "Maintainer of the packages, \"Name <address>\"")
if(NOT KAVRILO_MAINTAINER)
  if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL})
    set(KAVRILO_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
  else()
    find_package(Git QUIET)
    if(GIT_FOUND)
      execute_process(COMMAND ${GIT_EXECUTABLE} config user.name WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE git_name OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      execute_process(COMMAND ${GIT_EXECUTABLE} config user.email WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                      OUTPUT_VARIABLE git_email OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
      if(git_name AND git_email)
        set(KAVRILO_MAINTAINER "${git_name} <${git_email}>")
      else()
        # No identity on this machine (a build server): the author of the commit being packaged.
        execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%an\ <%ae>
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE git_author OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(git_author MATCHES "^.+ <.+@.+>$")
          set(KAVRILO_MAINTAINER "${git_author}")
        endif()
      endif()
    endif()
  endif()
endif()
if(NOT KAVRILO_MAINTAINER)
  set(KAVRILO_MAINTAINER "The Kavrilo developers")
  if(KAVRILO_DEBIAN_FLAGS)
    message(WARNING "no maintainer address: set KAVRILO_MAINTAINER, DEBFULLNAME and DEBEMAIL, or git's user.email")
  endif()
endif()
set(CPACK_PACKAGE_CONTACT "${KAVRILO_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# .comment and .note go too, from static libraries as well (dh_strip does the same).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/StripPackages.cmake)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Package names and descriptions of the known components.
set(CPACK_DEBIAN_KAVRILO_PACKAGE_NAME kavrilo)
set(CPACK_DEBIAN_KAVRILO_PACKAGE_SECTION education)
# Every text of the windows is Chinese: without a Chinese font they show boxes, so one of the
# faces the windows ask for (platform/qt/chinese_ui.cpp) is required. Qt's standard buttons read
# 确定 only with its translations, which are recommended. The computed library dependencies are
# added to these.
set(CPACK_DEBIAN_KAVRILO_PACKAGE_DEPENDS "fonts-wqy-zenhei | fonts-noto-cjk")
set(CPACK_DEBIAN_KAVRILO_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_COMPONENT_KAVRILO_DESCRIPTION
    "number decomposition practice for kindergarten children\n\
A teacher or parent types the numbers to practise; the child splits each number\n\
into a known part and the missing part, and sees at once whether the answer is\n\
right. All texts are in Chinese.")

set(CPACK_DEBIAN_ANIGIF-TOOLS_PACKAGE_NAME anigif-tools)
set(CPACK_DEBIAN_ANIGIF-TOOLS_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_ANIGIF-TOOLS_DESCRIPTION
    "animated GIF viewer and command-line tools\n\
anigif-view plays a GIF with every setting of the anigif control at hand;\n\
anigif-render paints frames headless; anigif-design writes and reads stored\n\
control descriptions.")

set(CPACK_DEBIAN_ANIGIF-DEV_PACKAGE_NAME libanigif-dev)
set(CPACK_DEBIAN_ANIGIF-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_ANIGIF-DEV_DESCRIPTION
    "animated GIF control - development files\n\
Headers, static libraries, a CMake package (AniGif::Core, AniGif::Widget) and a\n\
pkg-config file of the anigif control, for programs that embed it: a GIF87a and\n\
GIF89a player with stretching, mirroring, transparency and its own loop and\n\
delay rules, and a Qt widget that shows it.")
# Static libraries give dpkg-shlibdeps nothing to read: the package names the development files
# of what they link (cmake/AniGifPackage.cmake).
set(CPACK_DEBIAN_ANIGIF-DEV_PACKAGE_DEPENDS "${ANIGIF_DEV_DEBIAN_DEPENDS}")

set(CPACK_DEBIAN_ANIGIF-DESIGNER_PACKAGE_NAME anigif-designer-plugin)
set(CPACK_DEBIAN_ANIGIF-DESIGNER_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_ANIGIF-DESIGNER_DESCRIPTION
    "animated GIF control - Qt Designer plugin\n\
Lets Qt Designer place the anigif control's widget in forms, preview its\n\
animation while the form is designed, and edit its properties (the GIF it\n\
plays, stretching, mirroring, loops and delays) in the property editor.")

set(CPACK_DEBIAN_ANIGIF-QML_PACKAGE_NAME qml6-module-anigif)
set(CPACK_DEBIAN_ANIGIF-QML_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_ANIGIF-QML_DESCRIPTION
    "animated GIF control - QML module\n\
The QML module AniGif with the item AniGifImage, which plays animated GIFs in\n\
Qt Quick programs with every setting of the anigif control.")

# Whatever components exist become packages; an unnamed one is an install() rule that forgot its
# COMPONENT, which would otherwise ship as a stray package.
get_cmake_property(KAVRILO_COMPONENTS COMPONENTS)
if("Unspecified" IN_LIST KAVRILO_COMPONENTS)
  message(WARNING "an install() rule names no COMPONENT; its files are left out of the packages")
  list(REMOVE_ITEM KAVRILO_COMPONENTS "Unspecified")
endif()
set(CPACK_COMPONENTS_ALL ${KAVRILO_COMPONENTS})
foreach(component ${KAVRILO_COMPONENTS})
  string(TOUPPER ${component} upper)
  if(NOT DEFINED CPACK_DEBIAN_${upper}_PACKAGE_NAME)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${component})
  endif()
  if(NOT DEFINED CPACK_DEBIAN_${upper}_PACKAGE_SECTION)
    set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION misc)
  endif()
endforeach()

include(${PROJECT_SOURCE_DIR}/cmake/PackageFiles.cmake)

include(CPack)
