#include "vorxcut/catalogue.h"

#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace vorxcut {

namespace {

// The recognition lines, Shift-JIS (code page 932) bytes.
// "VORX98オープニングディスクを認識しました.\n"
constexpr char kOpening98[] =
    "VORX98\x83\x49\x81\x5B\x83\x76\x83\x6A\x83\x93\x83\x4F\x83\x66"
    "\x83\x42\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD.\n";
// "VORX98キャラクターディスクを認識しました.\n"
constexpr char kCharacter98[] =
    "VORX98\x83\x4C\x83\x83\x83\x89\x83\x4E\x83\x5E\x81\x5B\x83\x66"
    "\x83\x42\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD.\n";
// "VORX98マップディスクを認識しました.\n"
constexpr char kMap98[] =
    "VORX98\x83\x7D\x83\x62\x83\x76\x83\x66\x83\x42\x83\x58\x83\x4E"
    "\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "VORXモラベクシルダキャラクターディスクを認識しました.\n"
constexpr char kCharacterMs[] =
    "VORX\x83\x82\x83\x89\x83\x78\x83\x4E\x83\x56\x83\x8B\x83\x5F"
    "\x83\x4C\x83\x83\x83\x89\x83\x4E\x83\x5E\x81\x5B\x83\x66\x83\x42"
    "\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5"
    "\x82\xBD.\n";
// "VORXモラベクシルダマップディスクを認識しました.\n"
constexpr char kMapMs[] =
    "VORX\x83\x82\x83\x89\x83\x78\x83\x4E\x83\x56\x83\x8B\x83\x5F"
    "\x83\x7D\x83\x62\x83\x76\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xF0"
    "\x94\x46\x8E\xAF\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "モラベクシルダネブリスシステムディスクを認識しました.\n"
constexpr char kSystemNb[] =
    "\x83\x82\x83\x89\x83\x78\x83\x4E\x83\x56\x83\x8B\x83\x5F\x83\x6C"
    "\x83\x75\x83\x8A\x83\x58\x83\x56\x83\x58\x83\x65\x83\x80\x83\x66"
    "\x83\x42\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD.\n";
// "モラベクシルダネブリスオープニングディスクを認識しました.\n"
constexpr char kOpeningNb[] =
    "\x83\x82\x83\x89\x83\x78\x83\x4E\x83\x56\x83\x8B\x83\x5F\x83\x6C"
    "\x83\x75\x83\x8A\x83\x58\x83\x49\x81\x5B\x83\x76\x83\x6A\x83\x93"
    "\x83\x4F\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF"
    "\x82\xB5\x82\xDC\x82\xB5\x82\xBD.\n";
// "モラベクシルダネブリスデーターディスクを認識しました.\n"
constexpr char kDataNb[] =
    "\x83\x82\x83\x89\x83\x78\x83\x4E\x83\x56\x83\x8B\x83\x5F\x83\x6C"
    "\x83\x75\x83\x8A\x83\x58\x83\x66\x81\x5B\x83\x5E\x81\x5B\x83\x66"
    "\x83\x42\x83\x58\x83\x4E\x82\xF0\x94\x46\x8E\xAF\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD.\n";

// The signatures that are not plain ASCII.
// MOV AX,CS / MOV DS,AX / MOV ES,AX: how the opening disk's loader begins.
constexpr char kLoaderStart[] = "\x8C\xC8\x8E\xD8\x8E\xC0";
constexpr char kSystemMark[] = "\x82\x60\x81\x6E";  // "Ａ］"
constexpr char kDataMark[] =
    "\x81\x6D\x83\x66\x81\x5B\x83\x5E\x81\x5B\x81\x6E";  // "［データー］"

constexpr cut::CutSpec kOpening98Cuts[] = {
    // name       track   C  H   R  N  skip  length   sectors read
    {"DRIVER",        1,  0, 1,  1, 1,    0,   3840},  // track 1, R 1-15
    {"OP1",           1,  0, 1, 16, 1,    0,   2048},  // track 1, R 16-23
    {"OP2",           3,  1, 1, 16, 1,    0,   2048},  // track 3, R 16-23
};
constexpr cut::CutSpec kCharacterMsCuts[] = {
    {"DRIVER2",      95, 47, 1,  1, 1,    0,   4096},  // track 95, R 1-16
};
constexpr cut::CutSpec kSystemNbCuts[] = {
    {"DRIVER3",     140, 70, 0,  1, 1,    0,   3584},  // track 140, R 1-14
};
constexpr cut::CutSpec kOpeningNbCuts[] = {
    {"OPNMUS",      102, 51, 0,  1, 1,    0,   4864},  // track 102, R 1-19
};

// "MUS0%02d": sixteen runs of 16 sectors, one after another.
constexpr cut::SeriesEntry kMusic0[] = {
    // track   R  length     row file    (C, H)  last sector read
    {2,        1,   4096},  //  0 MUS000 (1, 0)  track 2, R 16
    {2,       17,   4096},  //  1 MUS001 (1, 0)  track 3, R 6
    {3,        7,   4096},  //  2 MUS002 (1, 1)  track 3, R 22
    {3,       23,   4096},  //  3 MUS003 (1, 1)  track 4, R 12
    {4,       13,   4096},  //  4 MUS004 (2, 0)  track 5, R 2
    {5,        3,   4096},  //  5 MUS005 (2, 1)  track 5, R 18
    {5,       19,   4096},  //  6 MUS006 (2, 1)  track 6, R 8
    {6,        9,   4096},  //  7 MUS007 (3, 0)  track 6, R 24
    {6,       25,   4096},  //  8 MUS008 (3, 0)  track 7, R 14
    {7,       15,   4096},  //  9 MUS009 (3, 1)  track 8, R 4
    {8,        5,   4096},  // 10 MUS010 (4, 0)  track 8, R 20
    {8,       21,   4096},  // 11 MUS011 (4, 0)  track 9, R 10
    {9,       11,   4096},  // 12 MUS012 (4, 1)  track 9, R 26
    {10,       1,   4096},  // 13 MUS013 (5, 0)  track 10, R 16
    {10,      17,   4096},  // 14 MUS014 (5, 0)  track 11, R 6
    {11,       7,   4096},  // 15 MUS015 (5, 1)  track 11, R 22
    {0,        0,      0},  // end of list
};

// "MUS1%02d": twenty runs of 8 sectors; gaps after MUS100, MUS101, MUS104.
constexpr cut::SeriesEntry kMusic1[] = {
    // track   R  length     row file    (C, H)  last sector read
    {2,        1,   2048},  //  0 MUS100 (1, 0)  track 2, R 8
    {2,       17,   2048},  //  1 MUS101 (1, 0)  track 2, R 24
    {3,        7,   2048},  //  2 MUS102 (1, 1)  track 3, R 14
    {3,       15,   2048},  //  3 MUS103 (1, 1)  track 3, R 22
    {3,       23,   2048},  //  4 MUS104 (1, 1)  track 4, R 4
    {4,        9,   2048},  //  5 MUS105 (2, 0)  track 4, R 16
    {4,       17,   2048},  //  6 MUS106 (2, 0)  track 4, R 24
    {4,       25,   2048},  //  7 MUS107 (2, 0)  track 5, R 6
    {5,        7,   2048},  //  8 MUS108 (2, 1)  track 5, R 14
    {5,       15,   2048},  //  9 MUS109 (2, 1)  track 5, R 22
    {5,       23,   2048},  // 10 MUS110 (2, 1)  track 6, R 4
    {6,        5,   2048},  // 11 MUS111 (3, 0)  track 6, R 12
    {6,       13,   2048},  // 12 MUS112 (3, 0)  track 6, R 20
    {6,       21,   2048},  // 13 MUS113 (3, 0)  track 7, R 2
    {7,        3,   2048},  // 14 MUS114 (3, 1)  track 7, R 10
    {7,       11,   2048},  // 15 MUS115 (3, 1)  track 7, R 18
    {7,       19,   2048},  // 16 MUS116 (3, 1)  track 7, R 26
    {8,        1,   2048},  // 17 MUS117 (4, 0)  track 8, R 8
    {8,        9,   2048},  // 18 MUS118 (4, 0)  track 8, R 16
    {8,       17,   2048},  // 19 MUS119 (4, 0)  track 8, R 24
    {0,        0,      0},  // end of list
};

// "MUS2%02d": twenty-three runs filling tracks 141 to 153 without a gap.
constexpr cut::SeriesEntry kMusic2[] = {
    // track   R  length     row file    (C, H)   sectors  last sector read
    {141,      1,   3328},  //  0 MUS200 (70, 1)  13  track 141, R 13
    {141,     14,   3072},  //  1 MUS201 (70, 1)  12  track 141, R 25
    {141,     26,   2816},  //  2 MUS202 (70, 1)  11  track 142, R 10
    {142,     11,   2816},  //  3 MUS203 (71, 0)  11  track 142, R 21
    {142,     22,   3328},  //  4 MUS204 (71, 0)  13  track 143, R 8
    {143,      9,   2816},  //  5 MUS205 (71, 1)  11  track 143, R 19
    {143,     20,   3840},  //  6 MUS206 (71, 1)  15  track 144, R 8
    {144,      9,   3584},  //  7 MUS207 (72, 0)  14  track 144, R 22
    {144,     23,   3840},  //  8 MUS208 (72, 0)  15  track 145, R 11
    {145,     12,   3584},  //  9 MUS209 (72, 1)  14  track 145, R 25
    {145,     26,   4608},  // 10 MUS210 (72, 1)  18  track 146, R 17
    {146,     18,   3584},  // 11 MUS211 (73, 0)  14  track 147, R 5
    {147,      6,   3328},  // 12 MUS212 (73, 1)  13  track 147, R 18
    {147,     19,   3072},  // 13 MUS213 (73, 1)  12  track 148, R 4
    {148,      5,   3840},  // 14 MUS214 (74, 0)  15  track 148, R 19
    {148,     20,   3584},  // 15 MUS215 (74, 0)  14  track 149, R 7
    {149,      8,   4096},  // 16 MUS216 (74, 1)  16  track 149, R 23
    {149,     24,   3840},  // 17 MUS217 (74, 1)  15  track 150, R 12
    {150,     13,   3072},  // 18 MUS218 (75, 0)  12  track 150, R 24
    {150,     25,   3840},  // 19 MUS219 (75, 0)  15  track 151, R 13
    {151,     14,   3584},  // 20 MUS220 (75, 1)  14  track 152, R 1
    {152,      2,   3584},  // 21 MUS221 (76, 0)  14  track 152, R 15
    {152,     16,   9472},  // 22 MUS222 (76, 0)  37  track 153, R 26
    {0,        0,      0},  // end of list
};

// In the order they are tried.  Rule 4 has no probe: it tests the sector
// rule 2 read (track 2, R 2) at another offset.
constexpr cut::DiskRule kRules[] = {
    // no probe (track, C, R)  signature (offset, bytes)                               message       label                                cuts              series
    {1, {2, 1, 1},             {0,   kLoaderStart},                                    kOpening98,   "VORX98 opening disk",               kOpening98Cuts,   {}},
    {3, {12, 6, 3},            {17,  "VORX(C)Z.T.Q"},                                  kMap98,       "VORX98 map disk",                   {},               {"MUS0%02d", kMusic0}},
    {2, {2, 1, 2},             {145, "VORX98Program by QUIR ZALO"},                    kCharacter98, "VORX98 character disk",             {},               {}},
    {4, cut::kNoProbe,         {118, "MORAVEKSILDA VORX98Program by QUIR ZALO"},       kCharacterMs, "VORX MORAVEKSILDA character disk",  kCharacterMsCuts, {}},
    {5, {0, 0, 1},             {24,  "THIS DISK IS DRIVE 2 !"},                        kMapMs,       "VORX MORAVEKSILDA map disk",        {},               {"MUS1%02d", kMusic1}},
    {6, {0, 0, 7},             {1,   kSystemMark},                                     kSystemNb,    "MORAVEKSILDA NEBRIS system disk",   kSystemNbCuts,    {"MUS2%02d", kMusic2}},
    {7, {0, 0, 9},             {2,   "NEBR_OPEN"},                                     kOpeningNb,   "MORAVEKSILDA NEBRIS opening disk",  kOpeningNbCuts,   {}},
    {8, {0, 0, 6},             {244, kDataMark},                                       kDataNb,      "MORAVEKSILDA NEBRIS data disk",     {},               {}},
};

}  // namespace

constexpr cut::Catalogue kCatalogue = {"vorxcut", kRules};
static_assert(cut::FitsBuffer(kCatalogue),
              "every cut fits the sector buffer and every signature the probe sector");
static_assert(cut::ReadsTracksBelow(kCatalogue, d88::kShortTrackCount),
              "no read depends on how a table's last four entries are taken");
static_assert(cut::MessagesConvert(kCatalogue), "every message converts to UTF-8");

}  // namespace vorxcut
