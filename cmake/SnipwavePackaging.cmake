# The Debian package: `cpack -G DEB` in the build folder, or
# scripts/package.sh, writes snipwave_<version>-<release>_<arch>.deb there.
# It holds what `cmake --install` installs, under /usr.

# resources/package/changelog.Debian tells the release. Its first entry names
# this project's version followed by the package's release number, and its
# trailer line the maintainer and the date, which the package and the
# AppStream entry take from there. A new version starts with a new entry.
set(changelog ${PROJECT_SOURCE_DIR}/resources/package/changelog.Debian)
file(STRINGS ${changelog} changelog_top LIMIT_COUNT 1 REGEX "^snipwave \\(")
file(STRINGS ${changelog} changelog_trailer LIMIT_COUNT 1 REGEX "^ -- ")
if(NOT changelog_top MATCHES "^snipwave \\(${PROJECT_VERSION}-([0-9]+)\\)")
    message(FATAL_ERROR "${changelog} starts with '${changelog_top}'"
        " instead of an entry for version ${PROJECT_VERSION}")
endif()
set(SNIPWAVE_DEBIAN_RELEASE ${CMAKE_MATCH_1})
if(NOT changelog_trailer MATCHES
        "^ -- (.+>)  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "${changelog}: no maintainer and date in '${changelog_trailer}'")
endif()
set(SNIPWAVE_MAINTAINER "${CMAKE_MATCH_1}")
set(day ${CMAKE_MATCH_2})
set(year ${CMAKE_MATCH_4})
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND months ${CMAKE_MATCH_3} month)
math(EXPR month "${month} + 1")
if(month LESS 10)
    set(month 0${month})
endif()
set(SNIPWAVE_RELEASE_DATE "${year}-${month}-${day}")

set(SNIPWAVE_SCREENSHOT_URL
    "https://raw.githubusercontent.com/snipwave/snipwave/main/docs/screenshot.png")

set(CPACK_PACKAGE_NAME snipwave)
set(CPACK_PACKAGE_VENDOR "The Snipwave developers")
set(CPACK_PACKAGE_CONTACT "${SNIPWAVE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lossless MP3 cutter for the desktop and the command line")
set(CPACK_PACKAGE_DESCRIPTION
"Snipwave cuts a piece out of an MP3 file into a new MP3 file without
decoding or re-encoding: it copies whole MPEG audio frames, byte for byte.
Open a file, listen, mark the start and the end with the time fields, the
scissors buttons or the handles of the selection bar, and the new piece is
written and played at once, so that the cut can be judged and done again.

The package also holds snipwave-cut, the same cutter on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SNIPWAVE_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries the two programs link, as dpkg-shlibdeps finds them; then
# what the window loads at run time: Qt Multimedia's GStreamer back end and
# the GStreamer elements that decode and play MP3, Qt's SVG plugins for the
# drawn icons, and Qt's own translations.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt5multimedia5-plugins, libqt5svg5, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-ugly, qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
