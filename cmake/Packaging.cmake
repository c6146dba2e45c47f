# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `make package` (cpack -G DEB in the build folder) writes
# sonavell_<version>_<arch>.deb with everything `cmake --install` installs, under /usr and
# stripped. Its dependencies are the Debian runtime packages of the libraries the programs link,
# found by dpkg-shlibdeps; `scripts/test-package` installs it into a fresh root with apt.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonavell)
set(CPACK_PACKAGE_VENDOR "The Sonavell developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice-memo recorder for Linux phones and desktops")
set(CPACK_PACKAGE_DESCRIPTION "Sonavell records voice memos from the microphone into WAV \
files and plays them back with a jog and shuttle wheel, three speeds and a volume boost. Memos \
are filed in categories, named, given photos and stamped with a place. They can be shared with \
browsers on the same network, pushed to another device that runs sonavell-receive (included), \
or e-mailed through sonavell-upload-server (included).")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Sonavell developers <maintainers@sonavell.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SONAVELL_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, but needed to be useful: a sound server, the Bonjour daemon for web sharing and
# pushes, the Wayland platform of phone shells, a browser opener for the help's links, and the
# positioning plugin with the GeoClue service it asks, for the place stamps, and Qt's own
# catalogues, so that Qt's standard texts follow the system language with Sonavell's.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "pulseaudio | pipewire-pulse, avahi-daemon, qt6-wayland, xdg-utils, libqt6positioning6-plugins, geoclue-2.0, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
