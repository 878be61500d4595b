# The Windows package: ZIVSound-<version>-win64.zip with the one static
# executable, stripped, and the README. scripts/test-windows.sh makes it after a build.
install(TARGETS ZIVSound RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ZIVSound)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ZIVSound-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The debug information (most of the executable's size) stays in the build
# folder's copy.
set(CPACK_STRIP_FILES ON)
include(CPack)
