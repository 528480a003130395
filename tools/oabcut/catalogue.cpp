#include "oabcut/catalogue.h"

#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace oabcut {
namespace {

// "Opening Diskを認識しました.\n"
constexpr char kOpeningMessage[] =
    "Opening Disk\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "Disk Aを認識しました.\n"
constexpr char kDiskAMessage[] =
    "Disk A\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "Disk Bを認識しました.\n"
constexpr char kDiskBMessage[] =
    "Disk B\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";

// DRIVER and the three music files fill track 8 back to back.
constexpr cut::CutSpec kOpeningCuts[] = {
    // name     track  C  H  R  N  skip  length
    {"DRIVER",      8, 4, 0, 1, 1,    0,   2048},  // sectors 1 to 8
};

constexpr cut::SeriesEntry kOpeningMusic[] = {
    // track  R  length     row  file    last sector read
    {8,       9,   1536},  //  0  MUS000  8, 14
    {8,      15,   1536},  //  1  MUS001  8, 20
    {8,      21,   1536},  //  2  MUS002  8, 26
    {0,       0,      0},  //  3  (end of the list)
};

// One run of 96 sectors from track 106 sector 1, six sectors a file.
constexpr cut::SeriesEntry kDiskAMusic[] = {
    // track  R  length     row  file    last sector read
    {106,     1,   1536},  //  0  MUS100  106, 6
    {106,     7,   1536},  //  1  MUS101  106, 12
    {106,    13,   1536},  //  2  MUS102  106, 18
    {106,    19,   1536},  //  3  MUS103  106, 24
    {106,    25,   1536},  //  4  MUS104  107, 4
    {107,     5,   1536},  //  5  MUS105  107, 10
    {107,    11,   1536},  //  6  MUS106  107, 16
    {107,    17,   1536},  //  7  MUS107  107, 22
    {107,    23,   1536},  //  8  MUS108  108, 2
    {108,     3,   1536},  //  9  MUS109  108, 8
    {108,     9,   1536},  // 10  MUS110  108, 14
    {108,    15,   1536},  // 11  MUS111  108, 20
    {108,    21,   1536},  // 12  MUS112  108, 26
    {109,     1,   1536},  // 13  MUS113  109, 6
    {109,     7,   1536},  // 14  MUS114  109, 12
    {109,    13,   1536},  // 15  MUS115  109, 18
    {0,       0,      0},  // 16  (end of the list)
};

// All three rules test bytes 94 and 95 of track 0 sector 1, read once by
// the first rule's probe.
constexpr cut::DiskRule kRules[] = {
    // no  probe (track, C, R)  signature (offset, bytes)  message          label           cuts          series
    {1, {0, 0, 1},              {0x5E, "\x08\x2C"},        kOpeningMessage, "opening disk", kOpeningCuts, {"MUS0%02d", kOpeningMusic}},
    {2, cut::kNoProbe,          {0x5E, "\x10\x00"},        kDiskAMessage,   "Disk A",       {},           {"MUS1%02d", kDiskAMusic}},
    {3, cut::kNoProbe,          {0x5E, "\x10\x75"},        kDiskBMessage,   "Disk B",       {},           {}},
};

}  // namespace

constexpr cut::Catalogue kCatalogue = {"oabcut", kRules};
static_assert(cut::FitsBuffer(kCatalogue), "every cut fits the sector buffer");
static_assert(cut::ReadsTracksBelow(kCatalogue, d88::kShortTrackCount),
              "no read depends on how a table's last four entries are taken");
static_assert(cut::MessagesConvert(kCatalogue), "every message converts to UTF-8");

}  // namespace oabcut
