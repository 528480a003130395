# `cmake --install` puts the six programs in bin/, their manual pages in
# share/man/man1 (where help2man made them), this README in the
# documentation folder and the page in one file where the web build wrote
# it; `cpack` makes a .tar.gz and a Debian package, and a .zip when built
# for Windows.
foreach(program vorxcut abcut oabcut d88info d88conv d88cut)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin)
  endif()
endforeach()
install(FILES README.md DESTINATION share/doc/${PROJECT_NAME})
# The page comes from the web build (another build folder, with Emscripten),
# so it is taken only if it is there when installing or packaging.  On
# Windows it goes at the top, where a user who unpacks the .zip sees it.
set(D88CUT_PAGE ${PROJECT_SOURCE_DIR}/build-web/d88cut.html CACHE FILEPATH
    "The page in one file, from the web build, for the install and the packages")
if(WIN32)
  install(FILES ${D88CUT_PAGE} DESTINATION . OPTIONAL)
else()
  install(FILES ${D88CUT_PAGE} DESTINATION share/${PROJECT_NAME} OPTIONAL)
endif()
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
