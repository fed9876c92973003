# Read by cpack for every generator. Without dpkg-shlibdeps CPack would quietly write a package
# that depends on none of the libraries the programs need; refuse instead.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  find_program(QUADRELO_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT QUADRELO_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps is missing (Debian package dpkg-dev); "
                        "without it the package would not list its dependencies")
  endif()
endif()
