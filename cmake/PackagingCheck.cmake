# Read by cpack for each generator it runs.
#
# The program compares its own location with the prefix it was built for to
# tell an installed copy from a portable one; a Debian package (always under
# /usr) of a build made for /usr/local would behave as a portable copy and
# try to write its settings beside /usr/bin/ZIVSound.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_ZIV_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR
    "A Debian package installs into /usr, but this build is for "
    "'${CPACK_ZIV_INSTALL_PREFIX}': configure it with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
