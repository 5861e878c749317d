# Debian packages from the install rules: in a build configured with the preset "deb" (prefix
# /usr, no install run path), `cpack -G DEB` writes one package per install component.
# The staging script (DebianStaging.cmake) adds what Debian asks of every package: copyright,
# changelog, compressed manual pages and the conffiles list.
set(ACM_PACKAGE_MAINTAINER "AsyncCommModule developers <asynccomm@example.org>" CACHE STRING
    "Maintainer named in the Debian packages (name <address>)")
set(ACM_DEB_RELEASE 1 CACHE STRING "Debian revision of the packages")
set(ACM_DEB_VERSION ${PROJECT_VERSION}-${ACM_DEB_RELEASE})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME asynccomm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ACM_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev cnccomm simulator bridge python)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ACM_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Stripped programs and library; their debug information goes into PACKAGE-dbgsym (.ddeb), for
# reading a crash report from the field.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Dependencies on other packages come from the binaries (dpkg-shlibdeps), which may find the
# library in the build tree; those on our own packages from the component dependencies below,
# at the same version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/api)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianStaging.cmake)

# One package per component: its name, section, summary and description (lines joined by \n),
# and its maintainer scripts, packaging/deb/PACKAGE.{postinst,prerm,postrm}.
function(acm_deb_package component package section summary description)
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_DEBIAN_${COMPONENT}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  set(scripts "")
  foreach(script postinst prerm postrm)
    if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/deb/${package}.${script})
      # dpkg wants them by these names, executable.
      configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/${package}.${script}
        ${PROJECT_BINARY_DIR}/deb-control/${package}/${script} COPYONLY
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
      list(APPEND scripts ${PROJECT_BINARY_DIR}/deb-control/${package}/${script})
    endif()
  endforeach()
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_CONTROL_EXTRA "${scripts}" PARENT_SCOPE)
endfunction()

acm_deb_package(runtime libasynccomm1 libs "C library to command and observe CNC controllers"
  "The shared library libAsyncCommModule.so.1 that an application loads to\nregister CNC controllers, connect them over TCP or RS-232, and command and\nobserve them through plain C functions: motion, homing, programs, I/O bits,\nvariables, axis data, files, a remote buffer and FTP uploads.")
acm_deb_package(dev libasynccomm-dev libdevel "development files for the CNC controller library"
  "Headers (AsyncCommModule.h, the run-time loader and result texts), the CMake\npackage AsyncCommModule, the pkg-config file and example programs for\nlibasynccomm1.")
acm_deb_package(cnccomm cnccomm utils "command a CNC controller from the shell"
  "cnccomm reads and writes controller variables and bits, jogs and homes axes,\nsends and starts programs, watches values and uploads files through\nlibasynccomm1. Its exit status tells scripts what happened.")
acm_deb_package(simulator cnc-simulator devel "simulated CNC controllers to develop and test against"
  "cnc-simulator serves the controller command protocol on TCP or a serial line\nfor any number of simulated controllers, with axes, variables, programs,\nfiles, an FTP endpoint and rules that inject failures.")
acm_deb_package(bridge cnc-bridge net "CNC controllers to MQTT and Prometheus"
  "cnc-bridge polls CNC controllers through libasynccomm1 and publishes what it\nreads to an MQTT broker and as Prometheus metrics, read-only. It runs as\nthe system user cnc-bridge under systemd (unit cnc-bridge.service, not\nenabled on installation). Its configuration is /etc/cnc-bridge/cnc-bridge.ini.")
acm_deb_package(python python3-asynccomm python "Python 3 interface to the CNC controller library"
  "The Python package asynccomm: controllers, the remote buffer, FTP uploads,\nasyncio helpers and a simulator fixture for tests, over libasynccomm1.")
# The dynamic loader's cache is brought up to date by dpkg's trigger.
configure_file(${PROJECT_SOURCE_DIR}/packaging/deb/libasynccomm1.triggers ${PROJECT_BINARY_DIR}/deb-control/libasynccomm1/triggers COPYONLY)
list(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb-control/libasynccomm1/triggers)
# Written by the staging script: every file the bridge installs under /etc.
list(APPEND CPACK_DEBIAN_BRIDGE_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/deb-control/cnc-bridge/conffiles)

set(CPACK_COMPONENT_DEV_DEPENDS runtime)
set(CPACK_COMPONENT_CNCCOMM_DEPENDS runtime) # loaded at run time, so no binary names it
set(CPACK_COMPONENT_BRIDGE_DEPENDS runtime)
set(CPACK_COMPONENT_PYTHON_DEPENDS runtime)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3:any")
set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "cnc-simulator") # asynccomm.Simulator runs it

# For the staging script.
set(CPACK_ACM_DEB_PACKAGE_NAMES runtime=libasynccomm1 dev=libasynccomm-dev cnccomm=cnccomm simulator=cnc-simulator
    bridge=cnc-bridge python=python3-asynccomm)
set(CPACK_ACM_DEB_CONTROL_DIR ${PROJECT_BINARY_DIR}/deb-control)
set(CPACK_ACM_DEB_SOURCE_DIR ${PROJECT_SOURCE_DIR}/packaging/deb)
string(TIMESTAMP CPACK_ACM_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(CPACK_ACM_DEB_VERSION ${ACM_DEB_VERSION})
set(CPACK_ACM_PACKAGE_MAINTAINER ${ACM_PACKAGE_MAINTAINER})
set(CPACK_ACM_PROJECT_VERSION ${PROJECT_VERSION})
include(CPack)
