# The Debian packages, one per install component (see the install rules): q73580-utility,
# q73580-cli and q73580-printer-sim. scripts/package builds them with Debian's hardening flags.
set(q73580_debian_packages utility q73580-utility cli q73580-cli sim q73580-printer-sim)

# Every package carries the copyright file and the changelog in its own doc folder. The version
# has no Debian revision (the packaging is the project's own), so the changelog is changelog.gz.
set(q73580_changelog_gz ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${q73580_changelog_gz}
  COMMAND gzip -9n -c ${Q73580_CHANGELOG} > ${q73580_changelog_gz}
  DEPENDS ${Q73580_CHANGELOG}
  VERBATIM)
add_custom_target(q73580-changelog ALL DEPENDS ${q73580_changelog_gz})
while(q73580_debian_packages)
  list(POP_FRONT q73580_debian_packages component package)
  install(FILES packaging/copyright ${q73580_changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  string(TOUPPER ${component} component)
  set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL utility cli sim)
set(CPACK_PACKAGE_NAME q73580-utility)
set(CPACK_PACKAGE_VENDOR "Q73580 Utility developers")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Q73580 Utility developers <developers@q73580.org>")
set(CPACK_DEBIAN_PACKAGE_SOURCE q73580-utility)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_UTILITY_DESCRIPTION "set up a printer's clock and network settings
Q73580 Utility configures one printer model connected by USB, serial port,
parallel port or Ethernet: its clock, its network settings and name, and its
factory defaults. It finds the printers on the local network by UDP broadcast
and changes a printer's address remotely.")
# Added to what dpkg-shlibdeps finds: Qt loads the SVG icon plugins at run time. The utility
# needs the command-line package's udev rule for USB printers; that package brings no library
# the utility lacks.
set(CPACK_DEBIAN_UTILITY_PACKAGE_DEPENDS "libqt6svg6, q73580-cli (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_UTILITY_PACKAGE_SUGGESTS q73580-printer-sim)

set(CPACK_DEBIAN_CLI_DESCRIPTION "set up Q73580 printers from a terminal or a script
q73580-cli does what the windows of Q73580 Utility do, from a terminal or a
script, with no display: it reads and sets a printer's clock, network settings
and name over USB, serial port, parallel port or Ethernet, and finds the
printers on the local network. The package holds the udev rule that lets the
user at the seat open the printer's USB device, and a firewalld service and a
ufw profile that let the printers' answers through a desktop firewall.")

# The ufw profile lives in /etc: the administrator's to edit, kept on upgrade.
file(WRITE ${PROJECT_BINARY_DIR}/packaging/cli/conffiles "/etc/ufw/applications.d/q73580\n")
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/cli/conffiles)

set(CPACK_DEBIAN_SIM_DESCRIPTION "virtual Q73580 printer for trying Q73580 Utility
q73580-printer-sim keeps a printer's state and answers the printer's command
language over TCP, a pseudo-terminal standing for the serial port and a FIFO
standing for the parallel port, and discovery requests over UDP, so that the
utility and q73580-cli can be tried without hardware.")
include(CPack)
