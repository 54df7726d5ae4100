# Debian packages through CPack (cpack -G DEB in the build folder):
#   quorvel-tools    webcopy and quorvel-sign with their manual pages
#                    (components tools, man); dependencies from dpkg-shlibdeps
#   libquorvel-dev   the libraries, headers, CMake package and the updater's
#                    sources for quorvel_add_updater() (component dev)
# The updater itself is in neither: each product's vendor builds their own
# with their address and key and installs it into the product's own folder,
# which it rewrites; a folder dpkg owns must not be rewritten behind its back.
#   libquorvel1  libquorvel.so.1: engine, cabinets, install, update (Qt Core)
#   libquorvel-widgets1
#                libquorvel-widgets.so.1: progress window, HTML button,
#                pictures, progress bar (Qt Widgets)
#                (components runtime and runtime_widgets, with QUORVEL_SHARED;
#                one package per library, named after its SONAME)
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the libraries go to the
# multiarch folder (GNUInstallDirs).
set(QUORVEL_DEB_MAINTAINER "Quorvel developers <developers@quorvel.example>")
set(QUORVEL_DEB_RELEASE 1)
set(QUORVEL_DEB_VERSION ${PROJECT_VERSION}-${QUORVEL_DEB_RELEASE})
# The date of the newest commit, so that packages made twice are the same.
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%cD OUTPUT_VARIABLE QUORVEL_DEB_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT QUORVEL_DEB_DATE)
  string(TIMESTAMP QUORVEL_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
endif()

# Each package's copyright, changelog and lintian overrides, installed only into packages (not
# by a plain `cmake --install`).
function(_quorvel_deb_docs package component)
  set(QUORVEL_DEB_PACKAGE ${package})
  set(_dir ${PROJECT_BINARY_DIR}/debian/${package})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${_dir}/changelog.Debian @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/lintian-overrides.in ${_dir}/overrides/${package} @ONLY)
  add_custom_command(OUTPUT ${_dir}/changelog.Debian.gz
                     COMMAND gzip -9nkf ${_dir}/changelog.Debian
                     DEPENDS ${_dir}/changelog.Debian VERBATIM)
  # The project's own changes (CHANGES) are the upstream changelog.
  add_custom_command(OUTPUT ${_dir}/changelog.gz
                     COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/CHANGES > ${_dir}/changelog.gz
                     DEPENDS ${PROJECT_SOURCE_DIR}/CHANGES VERBATIM)
  add_custom_target(${package}_changelog ALL DEPENDS ${_dir}/changelog.Debian.gz ${_dir}/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${_dir}/changelog.Debian.gz ${_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  install(FILES ${_dir}/overrides/${package} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()
_quorvel_deb_docs(quorvel-tools tools)
_quorvel_deb_docs(libquorvel-dev dev)
if(QUORVEL_SHARED)
  _quorvel_deb_docs(libquorvel1 runtime)
  _quorvel_deb_docs(libquorvel-widgets1 runtime_widgets)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT "${QUORVEL_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
set(CPACK_COMPONENTS_ALL tools man dev)
set(CPACK_COMPONENT_TOOLS_GROUP tools)
set(CPACK_COMPONENT_MAN_GROUP tools)
set(CPACK_COMPONENT_DEV_GROUP dev)
if(QUORVEL_SHARED)
  list(APPEND CPACK_COMPONENTS_ALL runtime runtime_widgets)
  set(CPACK_COMPONENT_RUNTIME_GROUP runtime)
  set(CPACK_COMPONENT_RUNTIME_WIDGETS_GROUP runtime_widgets)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUORVEL_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEL_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvel.example/")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME quorvel-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION net)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
# Network shares are read through libsmbclient, loaded when first used.
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS libsmbclient)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "transfer tool and release signing tool of the Quorvel updater
webcopy runs HTTP, FTP, file and network-share transfer jobs from the command
line and prints their progress. quorvel-sign makes release keys, the signed
release statements published next to update packages and delta packages,
and checks them.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libquorvel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
if(QUORVEL_SHARED)
  # The shared libraries keep their own libraries inside: a program needs Qt's
  # headers alone, and the two runtime packages of this very version.
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
      "libquorvel1 (= ${QUORVEL_DEB_VERSION}), libquorvel-widgets1 (= ${QUORVEL_DEB_VERSION}), qt6-base-dev (>= 6.2), pkgconf | pkg-config")
else()
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
      "qt6-base-dev (>= 6.2), libcurl4-openssl-dev | libcurl-dev, libmspack-dev, libsmbclient-dev, libssl-dev (>= 3), pkgconf | pkg-config")
endif()

# The runtime packages: their dependencies from dpkg-shlibdeps (the widgets'
# on libquorvel1 given by hand, as that library is not installed yet), a
# shlibs file and ldconfig triggers from CPack.
# libquorvel-widgets.so.1 needs libquorvel.so.1, found in the build folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libquorvel1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# The shlibs files of both library packages (CPack has no per-package switch).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS libsmbclient)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "Quorvel components: transfer engine, cabinets, install and update
Shared library of the Quorvel components that need no display: HTTP, FTP,
file and network-share transfer jobs on a worker thread, cabinet
extraction, a cabinet installed into a folder whole or not at all, and one
update of a product folder with signed release statements.")
set(CPACK_DEBIAN_RUNTIME_WIDGETS_PACKAGE_NAME libquorvel-widgets1)
set(CPACK_DEBIAN_RUNTIME_WIDGETS_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_WIDGETS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_WIDGETS_PACKAGE_DEPENDS "libquorvel1 (= ${QUORVEL_DEB_VERSION})")
set(CPACK_DEBIAN_RUNTIME_WIDGETS_DESCRIPTION
    "Quorvel components: progress window, HTML button, pictures, bar
Shared library of the Quorvel components on screen (Qt Widgets): the
transfer engine's progress window, a push button with a marked-up caption,
the picture store and a gradient progress bar.")
set(CPACK_DEBIAN_DEV_PACKAGE_RECOMMENDS "cmake, libsmbclient")
set(CPACK_DEBIAN_DEV_DESCRIPTION
    "Quorvel components: transfer engine, cabinets, HTML button, pictures, bar
C++ libraries for Qt 6 programs, with their headers and a CMake
package: find_package(Quorvel CONFIG REQUIRED COMPONENTS Transfer Cabinet
Captions Pictures Widgets) gives Quorvel::Transfer (HTTP, FTP, file and
network-share transfer jobs on a worker thread with a progress window),
Quorvel::Cabinet (cabinet extraction), Quorvel::Captions (a push button with
a marked-up caption), Quorvel::Pictures (the picture store),
Quorvel::Widgets (a gradient progress bar), Quorvel::Install and
Quorvel::Update (one update of a product folder). quorvel_add_updater()
builds a product's own updater program with the product's address and
release key from the sources shipped in this package.")

# An updater built without a key installs unsigned packages: fine for tests
# and demos, never for something handed out. cpack reads this script before
# it packages anything.
set(_cpack_check "")
if(QUORVEL_BUILD_UPDATER AND NOT QUORVEL_UPDATE_KEY AND NOT QUORVEL_ROOT_KEYS)
  set(_cpack_check "message(FATAL_ERROR \"This build's updater has no key (QUORVEL_ALLOW_UNSIGNED): it installs \"
  \"unsigned packages and is never packaged. Configure with -DQUORVEL_UPDATE_KEY=<public key> or with \"
  \"-DQUORVEL_BUILD_UPDATER=OFF.\")\n")
endif()
file(WRITE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake "${_cpack_check}")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProjectConfig.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/QuorvelDebPostBuild.cmake)

include(CPack)
