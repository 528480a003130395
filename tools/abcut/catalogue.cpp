#include "abcut/catalogue.h"

#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace abcut {
namespace {

// "Disk A を認識しました.\n" (a blank before を)
constexpr char kDiskAMessage[] =
    "Disk A \x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "Disk Bを認識しました.\n"
constexpr char kDiskBMessage[] =
    "Disk B\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";

constexpr cut::CutSpec kDiskACuts[] = {
    // name     track   C  H  R  N  skip  length
    {"DRIVER",    122, 61, 0, 1, 1,    0,   2816},  // sectors 1 to 11
};

// The music files are not one run: MUS01 and MUS02 start on fresh tracks,
// and MUS15 to MUS21 each start at sector 16 and end on the next track.
constexpr cut::SeriesEntry kDiskAMusic[] = {
    // track  R  length     row  file   last sector read
    {122,    12,   2304},  //  0  MUS00  122, 20
    {123,     1,   3328},  //  1  MUS01  123, 13
    {128,     1,   3328},  //  2  MUS02  128, 13
    {128,    14,   3328},  //  3  MUS03  128, 26
    {129,     1,   3328},  //  4  MUS04  129, 13
    {129,    14,   3328},  //  5  MUS05  129, 26
    {130,     1,   3328},  //  6  MUS06  130, 13
    {130,    14,   3328},  //  7  MUS07  130, 26
    {131,     1,   3328},  //  8  MUS08  131, 13
    {131,    14,   3328},  //  9  MUS09  131, 26
    {132,     1,   3328},  // 10  MUS10  132, 13
    {132,    14,   3328},  // 11  MUS11  132, 26
    {133,     1,   3328},  // 12  MUS12  133, 13
    {133,    14,   3328},  // 13  MUS13  133, 26
    {134,     1,   3328},  // 14  MUS14  134, 13
    {134,    16,   3328},  // 15  MUS15  135, 2
    {135,    16,   3328},  // 16  MUS16  136, 2
    {136,    16,   3328},  // 17  MUS17  137, 2
    {137,    16,   3328},  // 18  MUS18  138, 2
    {138,    16,   3328},  // 19  MUS19  139, 2
    {139,    16,   3328},  // 20  MUS20  140, 2
    {140,    16,   3328},  // 21  MUS21  141, 2
    {0,       0,      0},  // 22  (end of the list)
};

// Both rules test the first byte of track 0 sector 1; Disk B reads it
// from the probe of Disk A.
constexpr cut::DiskRule kRules[] = {
    // no  probe (track, C, R)  signature (offset, bytes)  message        label     cuts        series
    {1, {0, 0, 1},              {0, "\x33"},               kDiskAMessage, "Disk A", kDiskACuts, {"MUS%02d", kDiskAMusic}},
    {2, cut::kNoProbe,          {0, "\x1A"},               kDiskBMessage, "Disk B", {},         {}},
};

}  // namespace

constexpr cut::Catalogue kCatalogue = {"abcut", kRules};
static_assert(cut::FitsBuffer(kCatalogue), "every cut fits the sector buffer");
static_assert(cut::ReadsTracksBelow(kCatalogue, d88::kShortTrackCount),
              "no read depends on how a table's last four entries are taken");
static_assert(cut::MessagesConvert(kCatalogue), "every message converts to UTF-8");

}  // namespace abcut
