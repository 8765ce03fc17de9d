// The tokenizer on HTML text: tag tokens and their classes from the tag dictionary,
// tag parsing (names lowered and cut, cut tags, comments, incomplete tags), inhibited
// elements with nesting, and stray closing tags that end the call.
#include <gtest/gtest.h>

#include "support/token_fixtures.h"
#include "token/tags.h"

namespace vtm {
namespace {

using namespace vtm::test;
using Tokens = std::vector<TokenOut>;
constexpr int kHtml = VTM_TOKENIZE_HTML | VTM_TOKENIZE_FINAL;

TokenOut T(int offset, int length, unsigned k) {
  return TokenOut{offset, length, k, -1, ""};
}

class Html : public ::testing::Test {
 protected:
  void SetUp() override { fsm_ = BuildTokenizerFsm(IdentityAtt()); }
  // Tokenizes with a tokenizer over `dict` (null: none).
  TokenizeRun Run(const std::string& text, VtmClientDict dict, int flags = kHtml,
                  int capacity = 64) {
    TokenizerPtr tk(vtm_make_tokenizer(fsm_.get(), 0, dict));
    EXPECT_EQ(vtm_object_error_code(tk.get()), 0);
    return Tokenize(tk.get(), text, flags, capacity);
  }
  FsmPtr fsm_;
};

TEST_F(Html, TagTokensAndTheirClasses) {
  // x<b>y</b>: four tokens; without a dictionary both tags are markup.
  EXPECT_EQ(Run("x<b>y</b>", nullptr).tokens,
            (Tokens{T(0, 1, 1), T(1, 3, 0x080), T(4, 1, 1), T(5, 4, 0x080)}));
  // The closing tag is looked up without its "/": both tags are kept sentence ends.
  DictPtr kept = TagDict({{"b", "[html-tag-keep]"}, {"b", "[html-sent]"}});
  EXPECT_EQ(Run("x<b>y</b>", kept.get()).tokens,
            (Tokens{T(0, 1, 1), T(1, 3, 0x050), T(4, 1, 1), T(5, 4, 0x050)}));
  DictPtr para = TagDict({{"p", "[html-para]"},
                          {"hr", "[html-para]"},
                          {"hr", "[html-sent]"},
                          {"i", "[html-tag-keep] [html-para]"},
                          {"i", "[other]"}});
  EXPECT_EQ(Run("<p>", para.get()).tokens, (Tokens{T(0, 3, 0x180)}));
  EXPECT_EQ(Run("<HR >", para.get()).tokens, (Tokens{T(0, 5, 0x190)}));
  // A text naming two properties matches neither; unknown texts are ignored.
  EXPECT_EQ(Run("<i>", para.get()).tokens, (Tokens{T(0, 3, 0x080)}));
  // A word ends at "<"; whitespace yields nothing; trailing punctuation ends at "<".
  EXPECT_EQ(Run("a<br>b.<br> c,<p>", nullptr).tokens,
            (Tokens{T(0, 1, 1), T(1, 4, 0x80), T(5, 2, 0), T(7, 4, 0x80), T(12, 1, 1),
                    T(13, 1, 0x06), T(14, 3, 0x80)}));
}

TEST(TagParse, NamesCommentsCutAndIncompleteTags) {
  auto parse = [](const std::string& s) {
    return ParseTag(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()),
                    true);
  };
  ParsedTag t = parse("<TITLE lang=en>rest");
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(t.length, 15);
  EXPECT_STREQ(t.name, "title");
  t = parse("<abcdefghijklmnopqrstu>");
  EXPECT_STREQ(t.name, "abcdefghijklmn");  // 14 bytes
  t = parse("</Div\n>");
  EXPECT_STREQ(t.name, "/div");
  t = parse("<a>");
  EXPECT_EQ(t.length, 3);
  EXPECT_STREQ(t.name, "a");
  // No ">" in the piece: the tag is cut before the next "<".
  t = parse("<abc def<x");
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(t.length, 8);
  EXPECT_STREQ(t.name, "abc");
  t = parse("<abcdef<x");
  EXPECT_STREQ(t.name, "abcdef");
  EXPECT_FALSE(parse("<ab").complete);  // neither ">" nor "<"
  EXPECT_FALSE(parse("<a").complete);   // fewer than 3 bytes
  // Comments end at the first ">" after "--", at position 5 or later.
  t = parse("<!-- a > b -->x");
  EXPECT_TRUE(t.complete);
  EXPECT_EQ(t.length, 14);
  EXPECT_STREQ(t.name, "!--");
  EXPECT_EQ(parse("<!---->").length, 7);
  EXPECT_FALSE(parse("<!--->").complete);      // 6 bytes
  EXPECT_FALSE(parse("<!-- x >").complete);    // no "-->"
  EXPECT_FALSE(parse("<!-- <b> x").complete);  // a comment is not cut at "<"
  // "<!x" is an ordinary tag.
  EXPECT_STREQ(parse("<!DOCTYPE html>").name, "!doctype");
}

TEST_F(Html, CommentsAndIncompleteTags) {
  EXPECT_EQ(Run("<!-- a > b -->x", nullptr).tokens, (Tokens{T(0, 14, 0x80), T(14, 1, 1)}));
  // A final piece without any ">": everything from the "<" is one markup token.
  EXPECT_EQ(Run("a < b", nullptr).tokens, (Tokens{T(0, 1, 1), T(2, 3, 0x80)}));
  // Not final: the call stops before the incomplete tag.
  TokenizeRun r = Run("a <b", nullptr, VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1)}));
  r = Run("a <!-- b", nullptr, VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 2);
  // A tag without ">" is cut before the next "<" only in a final piece: in a non-final
  // one its ">" may come with the next piece, and the whole text "<a <b>c" is one tag.
  EXPECT_EQ(Run("<a <b", nullptr).tokens, (Tokens{T(0, 3, 0x80), T(3, 2, 0x80)}));
  r = Run("x <a <b", nullptr, VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(Run("<a <b>c", nullptr).tokens, (Tokens{T(0, 6, 0x80), T(6, 1, 1)}));
  // An incomplete final tag has an empty name: a dictionary entry for "" applies.
  DictPtr empty = TagDict({{"", "[html-para]"}});
  EXPECT_EQ(Run("<ab", empty.get()).tokens, (Tokens{T(0, 3, 0x180)}));
  // Comments can carry properties under the name "!--".
  DictPtr comment = TagDict({{"!--", "[html-tag-keep]"}});
  EXPECT_EQ(Run("<!---->", comment.get()).tokens, (Tokens{T(0, 7, 0x40)}));
}

TEST_F(Html, InhibitedElements) {
  DictPtr d = TagDict({{"script", "[html-tag-inhibit]"},
                       {"script", "[html-para]"},
                       {"style", "[html-tag-inhibit]"},
                       {"style", "[html-tag-keep]"}});
  // The whole element is one markup token, without the tag's paragraph bit.
  EXPECT_EQ(Run("<script>x</script>z", d.get()).tokens, (Tokens{T(0, 18, 0x80), T(18, 1, 1)}));
  // Nested elements of the same name count.
  const std::string nested = "<script>a<SCRIPT>b</script>c</script> z";
  EXPECT_EQ(Run(nested, d.get()).tokens, (Tokens{T(0, static_cast<int>(nested.size()) - 2, 0x80),
                                                 T(static_cast<int>(nested.size()) - 1, 1, 1)}));
  // A "<" inside swallows up to the next ">", here the closing tag.
  const std::string swallow = "<script>if (a <b) x</script>y</script>w";
  EXPECT_EQ(Run(swallow, d.get()).tokens, (Tokens{T(0, static_cast<int>(swallow.size()) - 1, 0x80),
                                                  T(static_cast<int>(swallow.size()) - 1, 1, 1)}));
  // Keep wins over inhibit: style is an ordinary kept tag.
  EXPECT_EQ(Run("<style>x</style>", d.get()).tokens,
            (Tokens{T(0, 7, 0x40), T(7, 1, 1), T(8, 8, 0x40)}));
  // Unclosed: a final piece ends the element at its end; a non-final one stops before it.
  EXPECT_EQ(Run("a<script>x y", d.get()).tokens, (Tokens{T(0, 1, 1), T(1, 11, 0x80)}));
  TokenizeRun r = Run("a <script>x</scr", d.get(), VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.count, 1);
  // A stray closing tag is a token with the tag's class, and the call ends after it.
  r = Run("a</script>b c", d.get());
  EXPECT_EQ(r.rc, 10);
  EXPECT_EQ(r.tokens, (Tokens{T(0, 1, 1), T(1, 9, 0x180)}));
  r = Run("</script>b", d.get(), kHtml, 0);
  EXPECT_EQ(r.rc, 0);
  // A comment listed as inhibited opens an element that no tag closes.
  DictPtr c = TagDict({{"!--", "[html-tag-inhibit]"}});
  EXPECT_EQ(Run("x<!-- a --> b <p> c", c.get()).tokens, (Tokens{T(0, 1, 1), T(1, 18, 0x80)}));
  r = Run("x <!-- a --> b <p> c", c.get(), VTM_TOKENIZE_HTML);
  EXPECT_EQ(r.rc, 2);
}

TEST_F(Html, TagsThatDoNotFit) {
  TokenizeRun r = Run("ab<p>cd", nullptr, kHtml, 1);
  EXPECT_EQ(r.rc, 2);
  r = Run("<p>", nullptr, kHtml, 0);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.count, 0);
  DictPtr d = TagDict({{"script", "[html-tag-inhibit]"}});
  r = Run("a<script>x</script>", d.get(), kHtml, 1);
  EXPECT_EQ(r.rc, 1);
}

}  // namespace
}  // namespace vtm
