# The Debian package: `cmake --build build --target package` (or `cpack -G DEB`
# in the build tree) makes build/tocksley_<version>_<arch>.deb, to be installed
# with `apt-get install ./build/tocksley_<version>_<arch>.deb`.
#
# What goes into it besides the binaries, the desktop entry and the small
# icons installed next to their targets: the large icons, the AppStream
# metainfo and the manual page of tocksley-cli.

if (NOT TOCKSLEY_BUILD_APP)
    return()
endif()

# ---------------------------------------------------------------------------
# Launchers and software centres draw the icon far larger than the window's
# 48 pixels; scripts/generate_icon.py draws these sizes from the same shapes.
foreach (size 128 256)
    install (FILES resources/icon_${size}.png
             DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
             RENAME tocksley.png)
endforeach()

# The component's launchable names tocksley.desktop, the file installed above.
install (FILES resources/linux/org.orlavane.Tocksley.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The page carries the version; gzip -n leaves out the name and time stamp,
# so that the same sources make the same package.
configure_file (resources/linux/tocksley-cli.1.in ${CMAKE_CURRENT_BINARY_DIR}/tocksley-cli.1 @ONLY)
add_custom_command (OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/tocksley-cli.1.gz
                    COMMAND gzip -9nkf tocksley-cli.1
                    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tocksley-cli.1
                    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                    VERBATIM)
add_custom_target (tocksley-manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tocksley-cli.1.gz)
install (FILES ${CMAKE_CURRENT_BINARY_DIR}/tocksley-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---------------------------------------------------------------------------
set (TOCKSLEY_PACKAGE_MAINTAINER "Tocksley maintainers <maintainers@tocksley.invalid>" CACHE STRING
     "The Maintainer field of the Debian package")

set (CPACK_GENERATOR DEB)
set (CPACK_PACKAGE_NAME tocksley)
set (CPACK_PACKAGE_VENDOR Orlavane)
set (CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set (CPACK_PACKAGE_DESCRIPTION_SUMMARY "sample-accurate metronome that can follow the music it hears")
set (CPACK_PACKAGE_DESCRIPTION
"Tocksley is a desktop metronome for musicians: tempo from 20 to 400 BPM,
time signature, subdivision, accent, three click sound packs and named
presets, with a Practice page for accent patterns, a count-in, a speed
trainer, a gap click and your own click sounds. Every click starts on the
exact sample where its tick falls, so the click never drifts from the tempo
shown. LISTEN follows the tempo of the music at the audio input and SYNC
places the clicks on its beats. It plays through ALSA or a JACK server.
.
tocksley-cli renders the same engine's click tracks to WAV files offline.")
set (CPACK_PACKAGING_INSTALL_PREFIX /usr)
set (CPACK_STRIP_FILES ON)
set (CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set (CPACK_DEBIAN_PACKAGE_NAME tocksley)
set (CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set (CPACK_DEBIAN_PACKAGE_MAINTAINER ${TOCKSLEY_PACKAGE_MAINTAINER})
set (CPACK_DEBIAN_PACKAGE_SECTION sound)
set (CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set (CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TOCKSLEY_UPDATE_SERVER})
set (CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The libraries the binaries are linked against, found by dpkg-shlibdeps with
# the lowest versions their symbols need.
set (CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# JUCE finds fonts through the directories that fontconfig's fonts.conf lists,
# reading the file itself rather than through fontconfig's library, so
# dpkg-shlibdeps cannot see the need; without the file the panel draws no text
# at all. DejaVu is the face the look falls back to for what its own lacks.
set (CPACK_DEBIAN_PACKAGE_DEPENDS "fontconfig-config, fonts-dejavu-core")

# Libraries that JUCE opens with dlopen and does without, each losing a part:
# libjack the JACK device type (ALSA plays without it); libXext shared-memory
# painting, libXrandr and libXinerama the monitors' layout and scale, libXcursor
# the cursors JUCE makes from images. Carlito gives the look its own metrics;
# xdg-open opens the site from the about panel's Update button.
set (CPACK_DEBIAN_PACKAGE_RECOMMENDS
     "libjack-jackd2-0 | libjack0, libxext6, libxrandr2, libxinerama1, libxcursor1, fonts-crosextra-carlito, xdg-utils")
set (CPACK_DEBIAN_PACKAGE_SUGGESTS jackd2)

include (CPack)
