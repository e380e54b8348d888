# The Debian package: `cmake --build --preset release --target package` writes
# velinor_VERSION_ARCH.deb into the build folder. Its dependencies on shared libraries come from
# dpkg-shlibdeps; the fonts, Qt's French texts and Qt's plugins, which the programs open by name at
# run time, are listed by hand.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velinor)
set(CPACK_PACKAGE_VENDOR Morvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Morvane <velinor@morvane.fr>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DV camcorder clips: datecode, scenes and batch processing")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.morvane.fr/velinor")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs and only them: no debugging symbols in what users install.
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so nothing links them: the X11 one is needed to open
# the window at all, the Wayland one is welcome.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "DV camcorder clips: datecode, scenes and batch processing
 Velinor is for people who film with a DV camcorder and keep their tapes as
 AVI files. It reads the recording date and time (the datecode) and the
 timecode of every DV frame, shows each file's characteristics, plays files
 with the datecode drawn over the picture, cuts recordings into scenes where
 the datecode jumps, and runs batch commands over the selected files: rename
 and re-date from the datecode, convert between DV type 1 and type 2, PAL and
 NTSC, 4:3 and 16:9, burn in the datecode, extract the audio, and write scene
 lists and subtitles.
 .
 The interface is in French. velinor-cli does the same work from a terminal.")
# Directories 0755 and files 0644 or 0755 whatever the umask of the build.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
