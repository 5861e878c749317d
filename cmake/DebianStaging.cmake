# Run by cpack once it has installed each package's files into a staging folder of its own, before
# it builds the packages: adds what Debian asks of every package (its copyright file and
# changelog, compressed manual pages) and lists the files under /etc as conffiles, so that an
# administrator's changes survive upgrades and a purge removes them.
set(ACM_DEB_VERSION ${CPACK_ACM_DEB_VERSION})
set(ACM_DEB_DATE ${CPACK_ACM_DEB_DATE})
set(ACM_PACKAGE_MAINTAINER ${CPACK_ACM_PACKAGE_MAINTAINER})
set(PROJECT_VERSION ${CPACK_ACM_PROJECT_VERSION})

function(acm_gzip file)
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${file}: ${failed}")
  endif()
endfunction()

foreach(pair IN LISTS CPACK_ACM_DEB_PACKAGE_NAMES)
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  set(root ${CPACK_TEMPORARY_DIRECTORY}/${component})
  if(NOT IS_DIRECTORY ${root})
    continue()
  endif()
  set(doc ${root}/usr/share/doc/${package})
  file(MAKE_DIRECTORY ${doc})
  configure_file(${CPACK_ACM_DEB_SOURCE_DIR}/copyright ${doc}/copyright COPYONLY)
  configure_file(${CPACK_ACM_DEB_SOURCE_DIR}/changelog.in ${doc}/changelog.Debian @ONLY)
  acm_gzip(${doc}/changelog.Debian)

  file(GLOB_RECURSE pages ${root}/usr/share/man/*)
  list(FILTER pages EXCLUDE REGEX "\\.gz$")
  foreach(page IN LISTS pages)
    acm_gzip(${page})
  endforeach()

  file(GLOB_RECURSE etc_files RELATIVE ${root} ${root}/etc/*)
  if(etc_files)
    list(SORT etc_files)
    list(TRANSFORM etc_files PREPEND "/")
    list(JOIN etc_files "\n" conffiles)
    file(WRITE ${CPACK_ACM_DEB_CONTROL_DIR}/${package}/conffiles "${conffiles}\n")
  endif()
endforeach()
