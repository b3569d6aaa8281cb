# The Debian package (cpack -G DEB, see package.sh). Its dependencies are the shared libraries the program links,
# found by dpkg-shlibdeps, and the run-time packages setup.sh lists (fonts, translations), read from there so
# the two cannot drift apart.
file(READ ${CMAKE_SOURCE_DIR}/setup.sh setup_script)
if(NOT setup_script MATCHES "\nRUN_PACKAGES=\\(([^)]*)\\)")
    message(FATAL_ERROR "setup.sh has no RUN_PACKAGES=( ... ) list")
endif()
string(REGEX REPLACE "#[^\n]*" "" run_packages "${CMAKE_MATCH_1}")
string(REGEX REPLACE "[ \t\n]+" ";" run_packages "${run_packages}")
list(FILTER run_packages EXCLUDE REGEX "^$")
list(JOIN run_packages ", " run_depends)

# The documentation Debian wants in every package: the copyright file, in the machine-readable format, the
# changelog (a native package's, so changelog.gz) and the manual page. The last two are compressed with
# gzip -9n, which leaves out the file's name and time, so the same text always gives the same bytes.
include(GNUInstallDirs)
set(changelog ${CMAKE_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} newest_entry LIMIT_COUNT 1)
string(REPLACE "." "\\." version_pattern ${PROJECT_VERSION})
if(NOT newest_entry MATCHES "^quorvela \\(${version_pattern}\\) ")
    message(FATAL_ERROR "packaging/changelog: the newest entry is \"${newest_entry}\", the project is "
        "${PROJECT_VERSION}: add an entry for it")
endif()
configure_file(${CMAKE_SOURCE_DIR}/packaging/quorvela.1.in ${CMAKE_BINARY_DIR}/quorvela.1 @ONLY)
find_program(GZIP gzip REQUIRED)
foreach(plain ${changelog} ${CMAKE_BINARY_DIR}/quorvela.1)
    get_filename_component(name ${plain} NAME)
    execute_process(COMMAND ${GZIP} -9n -c ${plain} OUTPUT_FILE ${CMAKE_BINARY_DIR}/${name}.gz
        RESULT_VARIABLE gzip_result)
    if(NOT gzip_result EQUAL 0)
        message(FATAL_ERROR "gzip could not compress ${plain} (${gzip_result})")
    endif()
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvela)
install(FILES ${CMAKE_BINARY_DIR}/quorvela.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvela)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvela developers <dev@quorvela.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prescription desk for a small veterinary practice")
# The long description, its lines kept under 80 columns as Debian wants them.
set(CPACK_PACKAGE_DESCRIPTION "Quorvela writes, prints and keeps the prescriptions of a small veterinary
practice: catalogs of drugs, prescription sets, diagnoses and species, all
searchable by pinyin initials; the outpatient log with spreadsheet export and
printing; statistics; and a backup of the database on every exit. The data is
kept in an encrypted SQLCipher database. The interface is simplified Chinese.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY quorvela)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvela.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${run_depends}")
include(CPack)
