// The recognition lines and signatures of vorxcut's catalogue against
// encodings made apart from the program's source (Python's cp932 codec),
// so a slip in an escaped byte string shows here.
#include <gtest/gtest.h>

#include <string>

#include "vorxcut/catalogue.h"

namespace {

std::string FromHex(const char* hex) {
  std::string bytes;
  for (const char* p = hex; *p != '\0';) {
    if (*p == ' ') {
      ++p;
      continue;
    }
    bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    p += 2;
  }
  return bytes;
}

struct RuleBytes {
  int number;
  const char* message;  // hex
  int offset;
  const char* signature;  // hex
};

// clang-format off
const RuleBytes kExpected[] = {
    // VORX98オープニングディスクを認識しました.\n
    {1, "56 4F 52 58 39 38 83 49 81 5B 83 76 83 6A 83 93 83 4F 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     0, "8C C8 8E D8 8E C0"},
    // VORX98キャラクターディスクを認識しました.\n
    {2, "56 4F 52 58 39 38 83 4C 83 83 83 89 83 4E 83 5E 81 5B 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     145, "56 4F 52 58 39 38 50 72 6F 67 72 61 6D 20 62 79 20 51 55 49 52 20 5A 41 4C 4F"},
    // VORX98マップディスクを認識しました.\n
    {3, "56 4F 52 58 39 38 83 7D 83 62 83 76 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     17, "56 4F 52 58 28 43 29 5A 2E 54 2E 51"},
    // VORXモラベクシルダキャラクターディスクを認識しました.\n
    {4, "56 4F 52 58 83 82 83 89 83 78 83 4E 83 56 83 8B 83 5F 83 4C 83 83 83 89 83 4E 83 5E 81 5B 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     118, "4D 4F 52 41 56 45 4B 53 49 4C 44 41 20 56 4F 52 58 39 38 50 72 6F 67 72 61 6D 20 62 79 20 51 55 49 52 20 5A 41 4C 4F"},
    // VORXモラベクシルダマップディスクを認識しました.\n
    {5, "56 4F 52 58 83 82 83 89 83 78 83 4E 83 56 83 8B 83 5F 83 7D 83 62 83 76 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     24, "54 48 49 53 20 44 49 53 4B 20 49 53 20 44 52 49 56 45 20 32 20 21"},
    // モラベクシルダネブリスシステムディスクを認識しました.\n
    {6, "83 82 83 89 83 78 83 4E 83 56 83 8B 83 5F 83 6C 83 75 83 8A 83 58 83 56 83 58 83 65 83 80 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     1, "82 60 81 6E"},  // Ａ］
    // モラベクシルダネブリスオープニングディスクを認識しました.\n
    {7, "83 82 83 89 83 78 83 4E 83 56 83 8B 83 5F 83 6C 83 75 83 8A 83 58 83 49 81 5B 83 76 83 6A 83 93 83 4F 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     2, "4E 45 42 52 5F 4F 50 45 4E"},
    // モラベクシルダネブリスデーターディスクを認識しました.\n
    {8, "83 82 83 89 83 78 83 4E 83 56 83 8B 83 5F 83 6C 83 75 83 8A 83 58 83 66 81 5B 83 5E 81 5B 83 66 83 42 83 58 83 4E 82 F0 94 46 8E AF 82 B5 82 DC 82 B5 82 BD 2E 0A",
     244, "81 6D 83 66 81 5B 83 5E 81 5B 81 6E"},  // ［データー］
};
// clang-format on

TEST(VorxcutCatalogue, MessagesAndSignaturesAreTheirExactBytes) {
  ASSERT_EQ(vorxcut::kCatalogue.rules.count, 8);
  for (const RuleBytes& want : kExpected) {
    const cut::DiskRule* rule = nullptr;
    for (const cut::DiskRule& r : vorxcut::kCatalogue.rules) {
      if (r.number == want.number) rule = &r;
    }
    ASSERT_NE(rule, nullptr) << "rule " << want.number;
    EXPECT_EQ(std::string(rule->message), FromHex(want.message)) << "rule " << want.number;
    EXPECT_EQ(rule->signature.offset, want.offset) << "rule " << want.number;
    EXPECT_EQ(std::string(rule->signature.bytes.data, static_cast<size_t>(rule->signature.bytes.length)),
              FromHex(want.signature))
        << "rule " << want.number;
  }
}

}  // namespace
