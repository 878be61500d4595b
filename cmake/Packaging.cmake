# Installation into a system tree and the Debian package (cpack -G DEB).
#
# A package is made from a build configured for its final place (the
# package test adds Debian's hardening flags from dpkg-buildflags):
#   cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#         -DCMAKE_INSTALL_PREFIX=/usr -DZIV_BUILD_TESTS=OFF
#   cmake --build build-pkg -j && (cd build-pkg && cpack -G DEB)
# The program decides from its own location whether it is installed (and so
# keeps its settings in the user's configuration directory), so the package
# must put it exactly where the build said it would go.

if(NOT TARGET ZIVSound)
  return()
endif()

include(GNUInstallDirs)

# One reverse-DNS id names the desktop entry, the AppStream component and the
# icon, so that software centres and docks tie the three together.
set(ZIV_APP_ID io.github.zivsound.ZIVSound)
set(ZIV_DEB_NAME zivsound)
set(ZIV_MAINTAINER "ZIVSound developers <zivsound@example.org>")
set(ZIV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(ZIV_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
# Debian finds the copyright file by the package's name, not the project's.
set(ZIV_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${ZIV_DEB_NAME})

# A version bump without a matching release entry would ship a package whose
# metadata names another version than the program; the check makes the bump
# and the release notes one change.
file(STRINGS ${ZIV_PACKAGING_DIR}/changelog _ziv_changelog_top LIMIT_COUNT 1)
if(NOT _ziv_changelog_top MATCHES "^${ZIV_DEB_NAME} \\(([^)]*)\\) "
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR
    "The top entry of packaging/changelog is for '${CMAKE_MATCH_1}', the project's "
    "version is ${PROJECT_VERSION}: add an entry for it")
endif()
file(READ ${ZIV_PACKAGING_DIR}/${ZIV_APP_ID}.metainfo.xml _ziv_metainfo)
string(REGEX MATCH "<release version=\"([^\"]*)\"" _ziv_release "${_ziv_metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR
    "The first <release> in packaging/${ZIV_APP_ID}.metainfo.xml is for '${CMAKE_MATCH_1}', "
    "the project's version is ${PROJECT_VERSION}: add a <release> for it")
endif()

# The copyright file in Debian's machine-readable form, with the licence
# text taken from LICENSE so the two never disagree.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _ziv_license)
if(NOT _ziv_license MATCHES "Copyright \\(c\\) ([^\n]*)\n\n(.*)$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the licence text")
endif()
set(_ziv_copyright_holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" _ziv_license_body)
string(REPLACE "\n\n" "\n.\n" _ziv_license_body "${_ziv_license_body}")
string(REPLACE "\n" "\n " _ziv_license_body "${_ziv_license_body}")
file(CONFIGURE OUTPUT ${ZIV_PACKAGING_OUT}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${PROJECT_NAME}
Upstream-Contact: ${ZIV_MAINTAINER}

Files: *
Copyright: ${_ziv_copyright_holder}
License: Expat

License: Expat
 ${_ziv_license_body}
")

# Man pages and the changelog go compressed, as Debian requires; -n keeps
# the name and time out of the archive so that builds are reproducible.
find_program(ZIV_GZIP gzip REQUIRED)
set(_ziv_gzipped)
foreach(_ziv_pair "ZIVSound.1;ZIVSound.1.gz" "changelog;changelog.gz")
  list(GET _ziv_pair 0 _ziv_in)
  list(GET _ziv_pair 1 _ziv_out)
  add_custom_command(
    OUTPUT ${ZIV_PACKAGING_OUT}/${_ziv_out}
    COMMAND ${ZIV_GZIP} -9n -c ${ZIV_PACKAGING_DIR}/${_ziv_in} > ${ZIV_PACKAGING_OUT}/${_ziv_out}
    DEPENDS ${ZIV_PACKAGING_DIR}/${_ziv_in}
    COMMENT "Compressing ${_ziv_in}")
  list(APPEND _ziv_gzipped ${ZIV_PACKAGING_OUT}/${_ziv_out})
endforeach()
add_custom_target(ziv_packaging_files ALL DEPENDS ${_ziv_gzipped})

install(TARGETS ZIVSound RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cpack, cmake --install --strip) also drops the
# compiler's ident and note sections, as Debian's own packaging does; they
# only take room.
if(CMAKE_STRIP)
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:ZIVSound>\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endif()
install(FILES ${ZIV_PACKAGING_DIR}/${ZIV_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${ZIV_PACKAGING_DIR}/${ZIV_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${ZIV_PACKAGING_DIR}/icons/${ZIV_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
foreach(_ziv_size 48 128)
  install(FILES ${ZIV_PACKAGING_DIR}/icons/${ZIV_APP_ID}-${_ziv_size}.png
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${_ziv_size}x${_ziv_size}/apps
          RENAME ${ZIV_APP_ID}.png)
endforeach()
install(FILES ${ZIV_PACKAGING_OUT}/ZIVSound.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A package whose version has no Debian revision is a native one: its
# changelog is changelog.gz, not changelog.Debian.gz.
install(FILES ${ZIV_PACKAGING_OUT}/changelog.gz
              ${ZIV_PACKAGING_OUT}/copyright
              ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${ZIV_DOC_DIR})

# CPack.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ZIV_DEB_NAME})
set(CPACK_PACKAGE_VENDOR "The ZIVSound developers")
set(CPACK_PACKAGE_CONTACT "${ZIV_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice keyer for amateur-radio stations")
set(CPACK_PACKAGE_DESCRIPTION
"ZIVSound sends recorded spoken messages, such as a contest call, for the
operator of an amateur-radio station. It keys the transmitter's push-to-talk
through the RTS or DTR line of a serial port (normal or inverted polarity),
waits 120 ms, plays the message's WAV file through PulseAudio or PipeWire to
its last sample, unkeys, and can repeat the message after a pause of up to
20 seconds.

Three messages are chosen with F1 to F3, sent with Ctrl+Enter, repeated with
F4 and stopped with Escape, in one small window that stays on top of the
logging program. A message that cannot be played never keys the transmitter.
The window's texts are in Lithuanian.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Checked against the generator's own prefix in PackagingCheck.cmake.
set(CPACK_ZIV_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackagingCheck.cmake)

set(CPACK_DEBIAN_PACKAGE_NAME ${ZIV_DEB_NAME})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZIV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The sound goes through a PulseAudio server; libpulse alone (a computed
# dependency) does not provide one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The source archive (make package_source) leaves out the build trees.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/" "/\\\\.cache/")

include(CPack)
