// A small catalogue of the tests' own, shaped like the programs' ones: a
// rule with a probe and cuts, one that tests the bytes of the probe before
// it, and one with a later probe, a zero byte in its signature and a series.
#ifndef TESTS_SUPPORT_TEST_CATALOGUE_H
#define TESTS_SUPPORT_TEST_CATALOGUE_H

#include "cut/catalogue.h"
#include "cut/shift_jis.h"
#include "d88/d88_format.h"

namespace testcat {

constexpr cut::CutSpec kFirstCuts[] = {
    // name    track  C  H  R  N  skip  length
    {"ONE",        2, 1, 0, 1, 1,    0,    512},
    {"SKIPPED",    2, 1, 0, 1, 1,  100,    300},
};

constexpr cut::SeriesEntry kThirdSeries[] = {
    // track  R  length
    {4,       1,    512},
    {4,      26,    768},  // crosses to track 5 (head 1)
    {9,      26,    512},  // crosses to track 10 (next cylinder)
    {0,       0,      0},
};

constexpr cut::DiskRule kRules[] = {
    // no  probe (track, C, R)  signature (offset, bytes)  message       label     cuts        series
    {1, {0, 0, 1},              {0, "AAA"},                "first\n",    "first",  kFirstCuts, {}},
    {2, cut::kNoProbe,          {10, "BB"},                "second\n",   "second", {},         {}},
    {3, {0, 0, 3},              {254, "\x00Z"},            "third\n",    "third",  {},         {"S%02d", kThirdSeries}},
};

constexpr cut::Catalogue kCatalogue = {"testcut", kRules};
static_assert(cut::FitsBuffer(kCatalogue), "every cut fits the sector buffer");
static_assert(cut::ReadsTracksBelow(kCatalogue, d88::kShortTrackCount),
              "no read depends on how a table's last four entries are taken");
static_assert(cut::MessagesConvert(kCatalogue), "every message converts to UTF-8");

}  // namespace testcat

#endif  // TESTS_SUPPORT_TEST_CATALOGUE_H
