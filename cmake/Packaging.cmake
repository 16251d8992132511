# Installing the programs and packing the installed tree into a Debian package:
#   cmake --install build --prefix P      P/bin, P/share/sonavel, the desktop entry, icons, ...
#   cmake --build build --target package  build/sonavel_<version>_<arch>.deb

# bin/ and share/ stay siblings: the programs find share/sonavel from their own folder.
# (sonavel itself is installed beside its target in app/.)
install(TARGETS sonavel-tool RUNTIME DESTINATION bin)

# What Debian wants beside the files: the copyright in its machine-readable form and the
# changelog, compressed without a name or time stamp so that builds repeat.
set(doc_out ${CMAKE_BINARY_DIR}/share/doc/sonavel)
add_custom_command(OUTPUT ${doc_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${doc_out}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${doc_out}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
add_custom_target(sonavel_changelog ALL DEPENDS ${doc_out}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${doc_out}/changelog.gz
        DESTINATION share/doc/sonavel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonavel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sonavel developers")
set(CPACK_PACKAGE_CONTACT "The Sonavel developers <maintainers@sonavel.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://sonavel.org/)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "lossless music player for phones, tablets and desktops
Sonavel plays FLAC, Monkey's Audio, WAV, AIFF and WavPack, and MP3 and M4A too,
joins consecutive tracks without a gap and splits single-file albums into their
tracks by their cue sheets. It shows synchronised lyrics, keeps M3U play lists,
reads tags in legacy Japanese, Chinese and Korean encodings, is recoloured by
themes, and takes new music over a built-in FTP server.")
# The libraries come from what the programs link (dpkg-shlibdeps); the rest is loaded at run
# time: the Wayland platform plugin for phones, ALSA's route to PulseAudio/PipeWire, and
# the image plug-ins for cover art.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libasound2-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
