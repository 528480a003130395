# `cmake --install` puts the five programs in bin/, their manual pages in
# share/man/man1 (where help2man made them) and this README in the
# documentation folder; `cpack` makes a .tar.gz and a Debian package, and a
# .zip when built for Windows.
foreach(program vorxcut abcut oabcut d88info d88conv)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(FILES README.md DESTINATION share/doc/${PROJECT_NAME})
include(${CMAKE_CURRENT_LIST_DIR}/manpages.cmake)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR "d88cut developers")
set(CPACK_PACKAGE_CONTACT "d88cut developers <d88cut@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Cut driver and music files of particular game disks out of D88 floppy-disk images")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR TGZ ZIP)
else()
  set(CPACK_GENERATOR TGZ DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
find_program(D88CUT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(D88CUT_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # the C and C++ runtimes it links
endif()
include(CPack)
