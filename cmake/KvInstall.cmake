# What `cmake --install` puts where (GNUInstallDirs); the Debian packages split the same tree.

set(KV_SYSTEMD_UNIT_DIR "${CMAKE_INSTALL_PREFIX}/lib/systemd/system" CACHE PATH
    "Where the Agent's systemd unit is installed")
set(KV_SYSTEMD_DATA_DIR "${CMAKE_INSTALL_PREFIX}/lib" CACHE PATH
    "Parent of the sysusers.d and tmpfiles.d directories")

install(TARGETS kestrelviewctl kestrelview-agent RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages carry the release number of the build.
foreach(page kestrelviewctl.1 kestrelview-agent.1)
  configure_file(man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

if(KV_WITH_QT)
  set(kv_app_id com.brindlecove.kestrelview)
  install(TARGETS kestrelview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(man/kestrelview.1.in ${CMAKE_BINARY_DIR}/man/kestrelview.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/man/kestrelview.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES desktop/${kv_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(desktop/${kv_app_id}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/desktop/${kv_app_id}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/desktop/${kv_app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  foreach(size 16 22 24 32 48 64 128 256)
    install(FILES resources/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestrelview.png)
  endforeach()
endif()

# The Agent as a service: unit, system user, directories and the configuration it starts
# with (no password yet, so the service stays down until one is set).
# The unit names the installed program and configuration, wherever the prefix puts them.
configure_file(service/kestrelview-agent.service.in
               ${CMAKE_BINARY_DIR}/service/kestrelview-agent.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/service/kestrelview-agent.service
        DESTINATION ${KV_SYSTEMD_UNIT_DIR})
install(FILES service/kestrelview-agent.sysusers DESTINATION ${KV_SYSTEMD_DATA_DIR}/sysusers.d
        RENAME kestrelview-agent.conf)
install(FILES service/kestrelview-agent.tmpfiles DESTINATION ${KV_SYSTEMD_DATA_DIR}/tmpfiles.d
        RENAME kestrelview-agent.conf)
install(FILES service/agent.conf DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/kestrelview-agent)
