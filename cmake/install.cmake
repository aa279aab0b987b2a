# Installing: the program with its settings beside it (crevik finds
# Crevik.ini in its own directory), the README and contrib files, and a
# systemd unit for `crevik watch`. `cpack -G DEB` packs the same for
# /opt/crevik, where the README's proftpd example runs it, with Crevik.ini a
# conffile and the unit where systemd finds it.
set(CREVIK_PACKAGE_DIR /opt/crevik)
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX ${CREVIK_PACKAGE_DIR} CACHE PATH "Install directory" FORCE)
endif()

install(TARGETS crevik DESTINATION .)
install(FILES Crevik.ini.example README.md DESTINATION .)
# The unit as it is, but for the program's path, known only when installing
# (--prefix); the rules run in order, so the next ones install this copy.
set(CREVIK_UNIT ${CMAKE_BINARY_DIR}/crevik-watch@.service)
install(CODE "set(source ${PROJECT_SOURCE_DIR}/contrib/crevik-watch@.service)
  set(copy ${CREVIK_UNIT})
  set(packaged ${CREVIK_PACKAGE_DIR})" ALL_COMPONENTS)
install(CODE [[
  file(READ ${source} text)
  string(REPLACE "${packaged}/crevik " "${CMAKE_INSTALL_PREFIX}/crevik " text "${text}")
  file(WRITE ${copy} "${text}")]] ALL_COMPONENTS)
install(FILES contrib/feed-announce.py DESTINATION contrib
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES contrib/proftpd-crevik.conf contrib/sshd-crevik.conf ${CREVIK_UNIT}
        DESTINATION contrib)

# Only the package has these: the conffile and the unit in systemd's own place.
install(FILES Crevik.ini.example DESTINATION . RENAME Crevik.ini COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${CREVIK_UNIT} DESTINATION /usr/lib/systemd/system COMPONENT deb
        EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME crevik)
set(CPACK_PACKAGE_VENDOR crevik)
set(CPACK_PACKAGE_CONTACT "crevik developers <crevik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "upload checker for FTP servers: .sfv checks, race status, feed")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CREVIK_PACKAGE_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified deb)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "")  # linked statically
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/deb/conffiles ${PROJECT_SOURCE_DIR}/cmake/deb/postinst
                                       ${PROJECT_SOURCE_DIR}/cmake/deb/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
