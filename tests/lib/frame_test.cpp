// Library frame: error objects, the message table and the bounded text copy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "vtmrt.h"

namespace {

std::string Message(int code) {
  char buffer[256];
  EXPECT_EQ(vtm_error_message(code, buffer, sizeof buffer), 0);
  return buffer;
}

TEST(ErrorMessages, ExactTexts) {
  EXPECT_EQ(Message(0), "No error occurred.");
  EXPECT_EQ(Message(7), "No error occurred.");
  for (int code : {-7, -9, -30, -43, -51, -1993, -100000}) {
    EXPECT_EQ(Message(code), "Unknown error code.") << code;
  }
  EXPECT_EQ(Message(-44), "VTM_SOURCE_ERROR");
  EXPECT_EQ(Message(-45), "Summarizer unknown error");
  EXPECT_EQ(Message(-50), "VTM_TOKENIZER_INIT_BUFFER_OVERFLOW");
  EXPECT_EQ(Message(-2), "The file is of the wrong type, or is damaged.");
  EXPECT_EQ(Message(-29), "Input/output error.");
  EXPECT_EQ(Message(-28), "Instead of a valid object, a null pointer was passed to this function.");
  // Doubled spaces and the original wording are part of the texts.
  EXPECT_NE(Message(-17).find("input.  This most often"), std::string::npos);
  EXPECT_NE(Message(-18).find("guesser.  This error"), std::string::npos);
  EXPECT_NE(Message(-27).find("contains an single-field entry"), std::string::npos);
}

TEST(ErrorMessages, ArgumentChecksInOrder) {
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(vtm_error_message(-1, nullptr, -5), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_error_message(-1, buffer, -1), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_error_message(-1, buffer, 0), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_EQ(buffer[0], 'x');  // size 0 leaves the buffer untouched
  EXPECT_EQ(vtm_error_message(-2, buffer, 4), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_STREQ(buffer, "The");
  EXPECT_EQ(vtmLexicalLibraryErrorMessage(-2, buffer, 1), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_STREQ(buffer, "");
}

TEST(LibraryVersion, BoundedCopy) {
  char buffer[8];
  EXPECT_EQ(vtm_library_version(buffer, 4), 0);
  EXPECT_STREQ(buffer, "2.2");
  EXPECT_EQ(vtm_library_version(buffer, 3), VTM_ERR_OUTPUT_TOO_LONG);
  EXPECT_STREQ(buffer, "2.");
  EXPECT_EQ(vtmLexicalLibraryVersion(nullptr, -1), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtmLexicalLibraryVersion(buffer, -1), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtmInitLexicalLibrary(), 0);
  vtmFreeLexicalLibrary();
  vtm_free_library();
}

TEST(ErrorObjects, ConstantPerCode) {
  for (int code = -60; code <= -1; ++code) {
    void* object = vtm_error_object(code);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object, vtmErrorObject(code));
    EXPECT_EQ(vtm_object_error_code(object), code);
    EXPECT_EQ(vtmLexicalTransducerErrorCode(object), code);
  }
  EXPECT_NE(vtm_error_object(-1), vtm_error_object(-2));
}

TEST(ErrorObjects, OutOfRangeCodesAreInvalidNumber) {
  void* invalid = vtm_error_object(VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_error_object(0), invalid);
  EXPECT_EQ(vtm_error_object(5), invalid);
  // No byte of the error block stands for codes below -60; they never look real.
  EXPECT_EQ(vtm_object_error_code(vtm_error_object(-61)), VTM_ERR_INVALID_NUMBER);
  EXPECT_EQ(vtm_object_error_code(vtm_error_object(-1993)), VTM_ERR_INVALID_NUMBER);
}

TEST(ErrorObjects, NullAndRealHandles) {
  EXPECT_EQ(vtm_object_error_code(nullptr), VTM_ERR_NULL_OBJECT);
  int real_object = 0;
  EXPECT_EQ(vtm_object_error_code(&real_object), 0);
  EXPECT_EQ(vtmObjectErrorCode(&real_object), 0);
}

}  // namespace
