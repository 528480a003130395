# The archive layer reads archives with libarchive (Debian: libarchive-dev):
# a well-kept, BSD-licensed library made for exactly this, which reads zip,
# 7z, LZH, RAR, tar and the compressed single files users download.  The
# layer links it only as the target d88cut::libarchive.
find_package(LibArchive REQUIRED)
add_library(d88cut::libarchive INTERFACE IMPORTED GLOBAL)
set_target_properties(d88cut::libarchive PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES "${LibArchive_INCLUDE_DIRS}"
  INTERFACE_LINK_LIBRARIES "${LibArchive_LIBRARIES}")
