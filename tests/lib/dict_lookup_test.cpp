// Client dictionary: table layout, adding entries, lookup modes, the tag filter, output
// overflow and argument checks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dict/client_dict.h"
#include "vtmrt.h"

namespace {

struct Dict {
  VtmClientDict d = vtm_make_client_dict(0, 0);
  ~Dict() { vtm_free_client_dict(d); }
};

// Looks `word` up and returns the count, with the written texts in *texts.
int Lookup(VtmClientDict d, const char* word, int mode, std::vector<std::string>* texts,
           const char* tag = nullptr, int size = 256) {
  char out[256];
  std::memset(out, 'x', sizeof out);
  int n = vtm_client_dict_lookup(word, tag, out, size, mode, 0, d);
  texts->clear();
  for (int i = 0, at = 0; i < n; ++i, at += static_cast<int>(texts->back().size()) + 1) {
    texts->emplace_back(out + at);
  }
  return n;
}

using Texts = std::vector<std::string>;

TEST(ClientDictTable, ElfHashAndChains) {
  EXPECT_EQ(vtm::ElfHash("", 0), 0u);
  EXPECT_EQ(vtm::ElfHash("printf", 6), 0x077905A6u);
  EXPECT_EQ(vtm::ElfHash("abcdefghijklmnop", 16), 0x0BB9A310u);                  // high bits folded
  EXPECT_EQ(vtm::ElfHash("\xff\xff\xff\xff\xff\xff\xff\xff\xff", 9), 0x10FEFu);  // unsigned

  Dict dict;
  ASSERT_EQ(vtm_object_error_code(dict.d), 0);
  EXPECT_EQ(dict.d->bucket_count, 211u);
  EXPECT_EQ(dict.d->entry_count, 0u);
  ASSERT_EQ(vtm_add_entry("run", "run[verb]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("run", "[noun]", 0, dict.d), 0);
  EXPECT_EQ(dict.d->entry_count, 2u);
  const VtmDictEntry* head = dict.d->buckets[0x79BE % 211];
  ASSERT_NE(head, nullptr);  // newest first, value stored right after the key
  EXPECT_STREQ(head->key(), "run");
  EXPECT_EQ(head->value, head->key() + 4);
  EXPECT_STREQ(head->value, "[noun]");
  ASSERT_NE(head->next, nullptr);
  EXPECT_STREQ(head->next->value, "run[verb]");
}

TEST(ClientDictLookup, ModesAndOrder) {
  Dict dict;
  Texts t;
  EXPECT_EQ(vtm_client_dict_lookup("run", "", nullptr, 0, 0, 0, dict.d), 0);
  EXPECT_EQ(Lookup(dict.d, "", 6, &t), 0);
  ASSERT_EQ(vtm_add_entry("run", "run[verb]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("run", "[noun]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("go", "went", 7, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("", "", 0, dict.d), 0);

  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, nullptr, 0, 0, 0, dict.d), 2);
  EXPECT_EQ(Lookup(dict.d, "run", 2, &t), 2);
  EXPECT_EQ(t, (Texts{"", "run"}));
  EXPECT_EQ(Lookup(dict.d, "run", 4, &t), 2);
  EXPECT_EQ(t, (Texts{"[noun]", "[verb]"}));
  EXPECT_EQ(Lookup(dict.d, "run", 6, &t), 2);
  EXPECT_EQ(t, (Texts{"[noun]", "run[verb]"}));
  EXPECT_EQ(Lookup(dict.d, "go", 4, &t), 1);
  EXPECT_EQ(t, (Texts{""}));
  EXPECT_EQ(Lookup(dict.d, "go", 2, &t), 1);
  EXPECT_EQ(t, (Texts{"went"}));
  EXPECT_EQ(Lookup(dict.d, "", 6, &t), 1);
  EXPECT_EQ(Lookup(dict.d, "ru", 6, &t), 0);
  EXPECT_EQ(Lookup(dict.d, "runs", 6, &t), 0);
}

TEST(ClientDictLookup, TagFilterAndCase) {
  Dict dict;
  Texts t;
  ASSERT_EQ(vtm_add_entry("run", "run[verb]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("run", "[noun]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("Title", "[title-uncap]", 0, dict.d), 0);
  ASSERT_EQ(vtm_add_entry("go", "went", 0, dict.d), 0);
  EXPECT_EQ(Lookup(dict.d, "run", 1 | 6, &t, "[verb]"), 1);
  EXPECT_EQ(t, (Texts{"run[verb]"}));
  EXPECT_EQ(vtm_client_dict_lookup("run", "[noun]", nullptr, 0, 1, 0, dict.d), 1);
  EXPECT_EQ(vtm_client_dict_lookup("run", "[nou", nullptr, 0, 1, 0, dict.d), 0);
  EXPECT_EQ(vtm_client_dict_lookup("run", "", nullptr, 0, 1, 0, dict.d), 0);
  EXPECT_EQ(vtm_client_dict_lookup("go", "", nullptr, 0, 1, 0, dict.d), 1);
  EXPECT_EQ(vtm_client_dict_lookup("go", "[x]", nullptr, 0, 1, 0, dict.d), 0);
  EXPECT_EQ(vtm_client_dict_lookup("Title", "[title-uncap]", nullptr, 0, 1, 0, dict.d), 1);
  EXPECT_EQ(vtm_client_dict_lookup("title", "[title-uncap]", nullptr, 0, 1, 0, dict.d), 0);
  // A key never matches a word that only shares its prefix up to an inner NUL.
  EXPECT_EQ(vtm::LookupDictEntries(*dict.d, "go\0x", 4, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(vtm::LookupDictEntries(*dict.d, "gox", 2, nullptr, nullptr, 0, 0), 1);
}

TEST(ClientDictLookup, OutputTooLong) {
  Dict dict;
  Texts t;
  ASSERT_EQ(vtm_add_entry("run", "run[verb]", 0, dict.d), 0);
  EXPECT_EQ(Lookup(dict.d, "run", 6, &t, nullptr, 9), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Lookup(dict.d, "run", 6, &t, nullptr, 10), 1);
  EXPECT_EQ(Lookup(dict.d, "run", 2, &t, nullptr, 3), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Lookup(dict.d, "run", 2, &t, nullptr, 4), 1);
  EXPECT_EQ(Lookup(dict.d, "run", 4, &t, nullptr, 6), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(Lookup(dict.d, "run", 4, &t, nullptr, 7), 1);
  ASSERT_EQ(vtm_add_entry("run", "[noun]", 0, dict.d), 0);

  // The first result stays written, the second is not started, the count is not given.
  char out[12];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, out, 12, 6, 0, dict.d), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_STREQ(out, "[noun]");
  EXPECT_EQ(std::string(out + 7, 5), "xxxxx");
  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, out, 0, 2, 0, dict.d), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, out, 4, 2, 0, dict.d), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, out, 5, 2, 0, dict.d), 2);  // "" "run"
  EXPECT_EQ(vtm_client_dict_lookup("run", nullptr, nullptr, 0, 0, 0, dict.d), 2);
}

TEST(ClientDictArguments, NullErrorObjectsAndNumbers) {
  Dict dict;
  char out[8];
  auto err = static_cast<VtmClientDict>(vtm_error_object(VTM_ERR_FILE_OPEN));
  VtmClientDict none = nullptr;
  EXPECT_EQ(vtm_add_entry("k", "v", 0, none), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_add_entry("k", "v", 0, err), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_add_entry(nullptr, "v", 0, dict.d), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_add_entry("k", nullptr, 0, dict.d), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(dict.d->entry_count, 0u);
  EXPECT_EQ(vtm_load_entries("x", 0, none), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_load_entries("x", 0, err), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_load_entries(nullptr, 0, dict.d), VTM_ERR_NULL_OBJECT);

  EXPECT_EQ(vtm_client_dict_lookup("k", "", out, 8, 6, 0, none), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_client_dict_lookup(nullptr, "", out, 8, 6, 0, err), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_client_dict_lookup(nullptr, "", out, 8, 6, 0, dict.d), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_client_dict_lookup("k", nullptr, out, -1, 1, 0, dict.d), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_client_dict_lookup("k", nullptr, out, 8, 6, 0, dict.d), 0);  // no filter
  for (int mode : {2, 4, 6, 7}) {
    EXPECT_EQ(vtm_client_dict_lookup("k", "", nullptr, -1, mode, 0, dict.d), VTM_ERR_NULL_OBJECT);
  }
  EXPECT_EQ(vtm_client_dict_lookup("k", "", nullptr, -1, 0, 0, dict.d), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_client_dict_lookup("k", "", out, 8, -2, 0, dict.d), VTM_ERR_INVALID_NUMBER);

  vtm_free_client_dict(nullptr);
  vtm_free_client_dict(err);
  EXPECT_EQ(vtm_object_error_code(err), VTM_ERR_FILE_OPEN);
}

}  // namespace
