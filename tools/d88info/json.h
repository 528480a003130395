// d88info --json: what the listing shows, as one JSON document on `out`.
// The field names are fixed (other programs and the web page read them);
// README.md lists them.
#ifndef D88INFO_JSON_H
#define D88INFO_JSON_H

#include <cstdio>

#include "cut/image_source.h"
#include "cut/catalogue.h"
#include "d88/d88_image.h"
#include "d88info/facts.h"

namespace d88info {

struct JsonRequest {
  const char* imagePath;  // as given on the command line
  int disk;               // the one disk to show, or -1 for all
  bool sectors;           // list each disk's tracks and sectors
};

// Writes the document for the open `image` of `source`; the output shows
// whether it was written (ferror on `out`).
void WriteJson(const JsonRequest& request, cut::ImageSource& source,
               d88::D88Image& image, TrackBuffers& buffers,
               cut::Span<const cut::Catalogue*> catalogues, std::FILE* out);

}  // namespace d88info

#endif  // D88INFO_JSON_H
