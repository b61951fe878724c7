# Read by cpack when it packs (CPACK_PROJECT_CONFIG_FILE): the package's
# Depends are found by dpkg-shlibdeps, which CPack's Debian generator runs
# with the file utility. On a machine without either (dpkg-dev and file are
# the group "package" of scripts/packages.txt), CPack would stop ("file
# utility is not available") or make a package with no Depends at all; the
# package then names the libraries the program and its library link by
# hand instead.
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
  # Looked for where the user's shell looks (PATH), not in CMake's own list
  # of system folders.
  find_program(XLATE_FILE_UTILITY file NO_CMAKE_SYSTEM_PATH)
  find_program(XLATE_DPKG_SHLIBDEPS dpkg-shlibdeps NO_CMAKE_SYSTEM_PATH)
  if(NOT XLATE_FILE_UTILITY OR NOT XLATE_DPKG_SHLIBDEPS)
    message(STATUS "xlate: file or dpkg-shlibdeps is missing (scripts/install-deps.sh package "
                   "installs them); the package depends on the libraries named by hand")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1, libcurl4, libsqlite3-0, libxml2")
  endif()
endif()
