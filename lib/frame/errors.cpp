// Error objects, the message table and the bounded text copy.
#include <cstring>

#include "frame/frame.h"

namespace vtm {

const unsigned char kErrorBlock[kErrorBlockSize] = {};

void* ErrorObject(int code) {
  // Codes outside -60..-1 have no byte in the block; they are reported as an invalid
  // number, which keeps the handle inside the block and so never a real object.
  if (code >= 0 || code < -(kErrorBlockSize - 1)) code = VTM_ERR_INVALID_NUMBER;
  return const_cast<unsigned char*>(kErrorBlock) - code;
}

namespace {

constexpr const char* kUnknown = "Unknown error code.";

// Messages of codes -1..-50, indexed by -code - 1. Gaps read "Unknown error code.".
constexpr const char* kMessages[50] = {
    "The file cannot be opened, either because it cannot be found or because it is protected "
    "or locked.",
    "The file is of the wrong type, or is damaged.",
    "Insufficient memory is available to complete the function.",
    "The library requires functionality not present in this operating system or in this "
    "version of the operating system.",
    "An invalid FSM object was passed to this function.",
    "An invalid client dictionary object was passed to this function.",
    kUnknown,
    "An invalid number was passed to this function.",
    kUnknown,
    "A character in the input word is not part of the alphabet for this lexical transducer.",
    "The specified function is invalid or is not supported by the FSM.",
    "The output of the function is too long to fit in the provided buffer.",
    "The backtracking stack overflowed, because there are too many pending ambiguities in the "
    "input during lookup.",
    "The input word contains an incomplete tag specifier.",
    "The input contains an unrecognizable token.",
    "The input to the tokenizer is incomplete, and needs to be extended before tokenization "
    "can succeed from this point.",
    "The class guesser has failed to recognize a token in the input.  This most often results "
    "from illegal characters in the input.",
    "An unrecognized class is returned by the class lexicon or class guesser.  This error "
    "message points to a defect in the class lexicon or class guesser.",
    "The input sentence contains too many tokens to fit in the given tagger buffer.",
    "The token buffer in the given tagger buffer is not large enough to contain the tokens in "
    "the input sentence.",
    "The client output buffer is too small to contain the output.",
    "The lookup buffer's coded input buffer is too small to contain the encoded representation "
    "of the input string.",
    "The lookup buffer's coded output buffer is too small to contain one of the results.",
    "The client output buffer is full of results, and there are additional results awaiting "
    "the continuation of the operation.",
    "The given CLG and HMM objects do not match in language and version number.",
    "An internal buffer is too small to hold the required data.",
    "The specified file loaded as client dictionary data contains an single-field entry before "
    "the first tag specification.",
    "Instead of a valid object, a null pointer was passed to this function.",
    "Input/output error.",
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,  // -30..-36
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,
    kUnknown,  // -37..-43
    "VTM_SOURCE_ERROR",
    "Summarizer unknown error",
    "VTM_LOADING_ERROR",
    "VTM_STEM_ERROR",
    "Summarizer initialization failed",
    "VTM_TOKENIZER_INIT_ERROR",
    "VTM_TOKENIZER_INIT_BUFFER_OVERFLOW",
};

}  // namespace

const char* ErrorMessageText(int code) {
  if (code >= 0) return "No error occurred.";
  if (code < -50) return kUnknown;
  return kMessages[-code - 1];
}

int BoundedCopy(const char* text, std::size_t length, char* buffer, int size) {
  if (size <= 0) return VTM_ERR_OUTPUT_TOO_LONG;
  auto room = static_cast<std::size_t>(size);
  if (length < room) {
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return VTM_OK;
  }
  std::memcpy(buffer, text, room - 1);
  buffer[room - 1] = '\0';
  return VTM_ERR_OUTPUT_TOO_LONG;
}

}  // namespace vtm
