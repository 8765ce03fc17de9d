/* vtmrt.h - public C interface of the vtmrt lexical transducer runtime.
 *
 * The library exports two families of names: camelCase (vtmOpenLexicalTransducer)
 * and snake_case (vtm_make_fsm). Where both exist, the camelCase function passes
 * its arguments unchanged to its snake_case twin.
 *
 * Conventions:
 *  - An int result of 0 or more is success; a negative result is a VTM_ERR_* code.
 *  - Object makers never return NULL. On failure they return an error object, a
 *    constant handle standing for one error code; vtm_object_error_code() recovers it.
 *  - A function taking an object checks it first: NULL gives VTM_ERR_NULL_OBJECT, an
 *    error object gives its own code. Free functions ignore NULL and error objects.
 *  - Text results are copied into caller buffers whose size the caller passes; the
 *    library never allocates anything for the caller to free.
 *  - Text is 8-bit, in the transducer's character encoding (normally code page 1252).
 */
#ifndef VTMRT_H
#define VTMRT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VTMRT_API
#else
#define VTMRT_API __attribute__((visibility("default")))
#endif

/* ---- Error codes -------------------------------------------------------- */
#define VTM_OK 0
#define VTM_ERR_FILE_OPEN (-1)
#define VTM_ERR_BAD_FILE (-2)
#define VTM_ERR_NO_MEMORY (-3)
#define VTM_ERR_UNSUPPORTED_OS (-4)
#define VTM_ERR_INVALID_FSM (-5)
#define VTM_ERR_INVALID_CLIENT_DICT (-6)
#define VTM_ERR_INVALID_NUMBER (-8)
#define VTM_ERR_CHAR_NOT_IN_ALPHABET (-10)
#define VTM_ERR_INVALID_FUNCTION (-11)
#define VTM_ERR_OUTPUT_TOO_LONG (-12)
#define VTM_ERR_STACK_OVERFLOW (-13)
#define VTM_ERR_INCOMPLETE_TAG (-14)
#define VTM_ERR_UNRECOGNIZED_TOKEN (-15)
#define VTM_ERR_INCOMPLETE_INPUT (-16)
#define VTM_ERR_GUESSER_FAILED (-17)
#define VTM_ERR_UNKNOWN_CLASS (-18)
#define VTM_ERR_TOO_MANY_TOKENS (-19)
#define VTM_ERR_TOKEN_BUFFER_TOO_SMALL (-20)
#define VTM_ERR_CLIENT_BUFFER_TOO_SMALL (-21)
#define VTM_ERR_CODED_INPUT_TOO_SMALL (-22)
#define VTM_ERR_CODED_OUTPUT_TOO_SMALL (-23)
#define VTM_ERR_MORE_RESULTS (-24)
#define VTM_ERR_MODEL_MISMATCH (-25)
#define VTM_ERR_INTERNAL_BUFFER_TOO_SMALL (-26)
#define VTM_ERR_DICT_ENTRY_BEFORE_TAG (-27)
#define VTM_ERR_NULL_OBJECT (-28)
#define VTM_ERR_IO (-29)
#define VTM_SOURCE_ERROR (-44)
#define VTM_ERR_SUMMARIZER_UNKNOWN (-45)
#define VTM_LOADING_ERROR (-46)
#define VTM_STEM_ERROR (-47)
#define VTM_ERR_SUMMARIZER_INIT (-48)
#define VTM_TOKENIZER_INIT_ERROR (-49)
#define VTM_TOKENIZER_INIT_BUFFER_OVERFLOW (-50)
#define VTM_ERR_WALK_INTERNAL (-1993)
/* A walk over the network (lookup, generation, expansion, token breaking) took more
 * steps than any sound transducer needs: 16 * (network bytes + 65536) * (coded input
 * length + 1) for one lookup, its retries with more room included; for expansion,
 * since the last result. Steps are arrivals and backtracks, plus each network byte
 * read to skip a subtree and each code of an accepted path. The transducer is damaged; results already in the output are not complete.
 * Like -1993 it is below -60: it has no error object and its message is "Unknown
 * error code.". */
#define VTM_ERR_WALK_LIMIT (-1994)

/* ---- Handles ------------------------------------------------------------- */
/* Opaque object handles. Any of them may be an error object (see above). */
typedef struct VtmFsmRec *VtmFsm;
typedef struct VtmHeaderRec *VtmHeader;
typedef struct VtmClientDictRec *VtmClientDict;
typedef struct VtmLookupBufferRec *VtmLookupBuffer;
typedef struct VtmTokenizerRec *VtmTokenizer;
typedef struct VtmTaggerRec *VtmTagger;
typedef struct VtmTaggerBufferRec *VtmTaggerBuffer;

/* ---- Library frame ------------------------------------------------------ */
VTMRT_API int vtm_init_library(void);
VTMRT_API void vtm_free_library(void);
/* Error object for a negative code. Codes of 0 or more, and codes below -60 (which
 * have no error object), give the error object of VTM_ERR_INVALID_NUMBER. */
VTMRT_API void *vtm_error_object(int code);
/* VTM_ERR_NULL_OBJECT for NULL, the code of an error object, 0 for anything else. */
VTMRT_API int vtm_object_error_code(const void *object);
VTMRT_API int vtm_error_message(int code, char *buffer, int size);
VTMRT_API int vtm_library_version(char *buffer, int size);

VTMRT_API int vtmInitLexicalLibrary(void);
VTMRT_API void vtmFreeLexicalLibrary(void);
VTMRT_API void *vtmErrorObject(int code);
VTMRT_API int vtmObjectErrorCode(const void *object);
VTMRT_API int vtmLexicalTransducerErrorCode(const void *object); /* same function */
VTMRT_API int vtmLexicalLibraryErrorMessage(int code, char *buffer, int size);
VTMRT_API int vtmLexicalLibraryVersion(char *buffer, int size);

/* ---- Client dictionary --------------------------------------------------- */
/* Lookup mode bits of vtm_client_dict_lookup, combinable. A value splits at its first
 * "[" into a form part (before) and a tag part (from the "[" on). */
#define VTM_DICT_TAG_FILTER 1 /* match only entries whose tag part equals `tag` */
#define VTM_DICT_FORM 2       /* write each match's form part */
#define VTM_DICT_TAGS 4       /* write each match's tag part (both bits: whole value) */

/* Both arguments are ignored. Returns the error object of VTM_ERR_NO_MEMORY on failure. */
VTMRT_API VtmClientDict vtm_make_client_dict(int first, int second);
VTMRT_API void vtm_free_client_dict(VtmClientDict dict);
/* Adds key -> value (copies of both), newest first among equal keys. */
VTMRT_API int vtm_add_entry(const char *key, const char *value, int reserved, VtmClientDict dict);
/* Loads an entry file; returns the number of entries added or a negative code. Entries
 * added before a failing line stay in the dictionary. */
VTMRT_API int vtm_load_entries(const char *path, int reserved, VtmClientDict dict);
/* Writes the matches of `word` into `out` as consecutive NUL-terminated texts and
 * returns their count; VTM_ERR_OUTPUT_TOO_LONG when the next one does not fit. */
VTMRT_API int vtm_client_dict_lookup(const char *word, const char *tag, char *out, int out_size,
                                     int mode, int reserved, VtmClientDict dict);

/* ---- Lookup engine ------------------------------------------------------- */
/* One entry of a walk's backtracking stack (28 bytes). Walk stacks are caller arrays of
 * these; a lookup buffer's stack area holds them too. */
typedef struct VtmBacktrackEntry {
  uint8_t label;         /* the label byte at `location` */
  uint8_t aux_label;     /* label byte at `aux_location` (1: none) */
  uint16_t flag_state;   /* flag-diacritic state at the time of the push */
  uint32_t kind;         /* what to do when the entry is popped */
  uint32_t input_pos;    /* index of the next input code */
  uint32_t length;       /* expansion walk: symbols generated so far */
  uint32_t output_pos;   /* index of the next code in the work buffer */
  uint32_t location;     /* network location of the label */
  uint32_t aux_location; /* current exception of a generic table */
} VtmBacktrackEntry;
#ifdef __cplusplus
static_assert(sizeof(VtmBacktrackEntry) == 28, "VtmBacktrackEntry is 28 bytes");
#else
_Static_assert(sizeof(VtmBacktrackEntry) == 28, "VtmBacktrackEntry is 28 bytes");
#endif

/* Lookup modes of vtm_lookup_with_transduction and vtmLookupByteString. Any other
 * value gives VTM_ERR_INVALID_FUNCTION. */
#define VTM_MODE_ANALYZE 2        /* function 12, every result; tags allowed; dictionary first */
#define VTM_MODE_STEM 3           /* function 27, every result; dictionary first */
#define VTM_MODE_STEM_FIRST 5     /* function 27, the first result */
#define VTM_MODE_STEM_SHORTEST 7  /* function 27, the shortest result */
#define VTM_MODE_GENERATE 8       /* inverse walk of function 23, else 12; tags allowed */
#define VTM_MODE_STEM_INVERSE 9   /* inverse walk of function 27 */
#define VTM_MODE_TOKENIZE 11      /* function 28, the first result */

/* Looks `input` up (`input_length` bytes, or 2147483647 for a NUL-terminated text) and
 * writes the results as consecutive NUL-terminated texts into `output`; returns their
 * count or a negative code. `mode` is one of VTM_MODE_*. A word with a character outside
 * the alphabet has no results (except in VTM_MODE_TOKENIZE: -10). `dict` may be NULL;
 * `reserved` is not read. */
VTMRT_API int vtm_lookup_with_transduction(const char *input, int input_length, char *output,
                                           int output_size, int mode, VtmFsm fsm,
                                           VtmClientDict dict, int reserved);
/* vtm_lookup_with_transduction for a NUL-terminated input, without a dictionary. */
VTMRT_API int vtmLookupByteString(const char *input, char *output, int output_size, int mode,
                                  VtmFsm fsm);

/* Codes a NUL-terminated text into a NUL-terminated code string; returns its length.
 * Coding modes: 0 word for lookup (end-of-word code appended), 1 "[tag]" names allowed,
 * 2 plain text with the end-of-text code appended, others plain. */
VTMRT_API int vtmEncodeByteString(const char *text, char *output, int output_size,
                                  int coding_mode, VtmFsm fsm);
/* For each of `count` code positions in `coded` (non-decreasing), stores the number of
 * codes before it that are not escape codes: the character position in the text. */
VTMRT_API void vtmDecodeOffsets(const int *offsets, int count, int *result_offsets,
                                const char *coded, VtmFsm fsm);

/* A lookup buffer: coded input, coded output and a stack area for partial-word
 * expansion. The reserved arguments are not read; `client_data` is stored only.
 * Returns the error object of VTM_ERR_NO_MEMORY when it cannot be allocated, or of
 * VTM_ERR_INVALID_NUMBER for a negative size. */
VTMRT_API VtmLookupBuffer vtmMakeLookupBuffer(int coded_input_size, int coded_output_size,
                                              int stack_entries, int reserved1, int reserved2,
                                              uint32_t client_data);
VTMRT_API void vtmFreeLookupBuffer(VtmLookupBuffer buffer);
/* Bytes of the client buffer used, and results in it, after the last expansion call.
 * VTM_ERR_NULL_OBJECT for NULL, the code of an error object. */
VTMRT_API int vtmLookupBufferCursor(VtmLookupBuffer buffer);
VTMRT_API int vtmLookupBufferResultCount(VtmLookupBuffer buffer);
/* Stores the tag enclosure characters (91 '[' and 93 ']' at creation). */
VTMRT_API void vtmSetTagEnclosureChars(VtmLookupBuffer buffer, uint16_t open_char,
                                       uint16_t close_char);

/* Partial-word expansion through function 1: lists the words that hold the fragment
 * `text` after exactly `skip` symbols (skip 0 completes a prefix) and whose length in
 * symbols is at least `min_length` and below `max_length`, as consecutive NUL-terminated
 * texts in `output`, whose last byte is never written. Returns the number of results
 * when the expansion is complete, or VTM_ERR_MORE_RESULTS when the output is full and
 * more are waiting: a call with `continue_flag` set (`text` is then not read) delivers
 * the result that did not fit first and goes on. VTM_ERR_CLIENT_BUFFER_TOO_SMALL when
 * not even one result fits (the call can be continued with a larger output). After a
 * count or VTM_ERR_MORE_RESULTS, vtmLookupBufferCursor and vtmLookupBufferResultCount
 * describe the output. Other failures: VTM_ERR_CODED_INPUT_TOO_SMALL,
 * VTM_ERR_CODED_OUTPUT_TOO_SMALL (a word longer than the coded output area),
 * VTM_ERR_STACK_OVERFLOW, VTM_ERR_CHAR_NOT_IN_ALPHABET, VTM_ERR_INVALID_FUNCTION; after
 * these the expansion must be started afresh. A continue call with nothing waiting
 * returns 0. `reserved` is not read. */
VTMRT_API int vtmExpandByteStringPartialWord(const char *text, char *output, int output_size,
                                             VtmLookupBuffer buffer, int skip, int min_length,
                                             int max_length, int continue_flag, int reserved,
                                             VtmFsm fsm);

/* Token breaking through function 28: finds where the next token of `coded_input` (a
 * text coded by vtmEncodeByteString in coding mode 2) can end. For each token end it
 * writes the token text, NUL-terminated, into the first half of `output` (the second
 * half is the walk's work area) and the index in codes just after the token into
 * `offsets`. `all_flag` 1 reports every token end, 0 the first only. Returns the number
 * of token ends; 0 when the only one is the empty token; VTM_ERR_UNRECOGNIZED_TOKEN when
 * there is none; VTM_ERR_INCOMPLETE_INPUT when more text is needed;
 * VTM_ERR_OUTPUT_TOO_LONG when a token text or an offset does not fit;
 * VTM_ERR_STACK_OVERFLOW; VTM_ERR_INVALID_FUNCTION (no function 28, or a flag other
 * than 0 and 1). */
VTMRT_API int vtmBreakByteStringToken(const char *coded_input, char *output, int output_size,
                                      int *offsets, int offsets_capacity, int all_flag,
                                      VtmFsm fsm);

/* ---- Tokenizer ----------------------------------------------------------- */
/* One token written by vtm_tokenize (16 bytes). `offset` and `length` give the token's
 * span of the text passed to that call. `norm_offset` is -1 when the token's text is
 * exactly its span; otherwise it is the offset, in the call's string buffer, of the
 * token's NUL-terminated normalized form. */
typedef struct VtmToken {
  int32_t norm_offset;
  int32_t offset;
  int32_t length;
  uint32_t class_bits; /* VTM_TOKEN_* bits; 0 for a chunk token of mixed characters */
} VtmToken;
#ifdef __cplusplus
static_assert(sizeof(VtmToken) == 16, "VtmToken is four 32-bit words");
#else
_Static_assert(sizeof(VtmToken) == 16, "VtmToken is four 32-bit words");
#endif

/* Token class bits. */
#define VTM_TOKEN_WORD 0x001         /* a run of word characters */
#define VTM_TOKEN_PUNCT 0x002        /* punctuation or symbol */
#define VTM_TOKEN_CLOSING 0x004      /* punctuation that closes or trails */
#define VTM_TOKEN_OPENING 0x008      /* punctuation that opens or leads */
#define VTM_TOKEN_SENTENCE_END 0x010 /* sentence-final mark; HTML tag listed "[html-sent]" */
#define VTM_TOKEN_LINE_BREAK 0x020   /* whitespace holding a line break */
#define VTM_TOKEN_TAG_KEPT 0x040     /* HTML tag listed "[html-tag-keep]" */
#define VTM_TOKEN_MARKUP 0x080       /* other tag, comment, unfinished tag, inhibited element */
#define VTM_TOKEN_PARAGRAPH 0x100    /* paragraph break (whitespace or "[html-para]" tag) */

/* Flags of vtm_tokenize. */
#define VTM_TOKENIZE_FINAL 1          /* the piece ends the text */
#define VTM_TOKENIZE_HTML 2           /* HTML text: tags are tokens, whitespace yields none */
#define VTM_TOKENIZE_LINE_PARAGRAPH 4 /* a single line break is a paragraph break */

/* A tokenizer over a transducer serving function 28 (capability 4) and an optional
 * dictionary of HTML tag properties ("[html-sent]", "[html-tag-keep]",
 * "[html-tag-inhibit]", "[html-para]"). Neither is owned: both must outlive the
 * tokenizer. `lookup_option` is passed on to every chunk lookup. Error objects:
 * VTM_ERR_INVALID_FSM, VTM_ERR_INVALID_CLIENT_DICT, VTM_ERR_INVALID_FUNCTION,
 * VTM_ERR_NO_MEMORY. */
VTMRT_API VtmTokenizer vtm_make_tokenizer(VtmFsm fsm, int lookup_option, VtmClientDict tag_dict);
VTMRT_API void vtm_free_tokenizer(VtmTokenizer tokenizer);
/* Tokenizes `length` bytes of `text` into `tokens` (at most `capacity` records; their
 * number goes to *count_out) and normalized forms into `strings`. Returns the number of
 * bytes consumed: the records cover the text before it, the rest was not tokenized and
 * must be passed again at the front of the next call. Without VTM_TOKENIZE_FINAL no
 * token that more text could extend is emitted. A negative result is an error: a bad
 * argument (*count_out unwritten), or the failure of a chunk at byte 0 (count 0). */
VTMRT_API int vtm_tokenize(const char *text, int length, VtmTokenizer tokenizer, int flags,
                           VtmToken *tokens, int capacity, char *strings, int strings_size,
                           int *count_out);

/* ---- Transducers and headers -------------------------------------------- */
/* Loads a transducer file whole; the file is closed before the call returns.
 * Failures: VTM_ERR_NULL_OBJECT (null path), VTM_ERR_FILE_OPEN, VTM_ERR_BAD_FILE
 * (short header, wrong format version, no char map, or tables that do not fit the
 * file), VTM_ERR_NO_MEMORY (allocation, or the table area or network cut short). */
VTMRT_API VtmFsm vtm_make_fsm(const char *path);
VTMRT_API void vtm_free_fsm(VtmFsm fsm);
/* Copyright text with line breaks folded; needs a buffer of stored length + 2. */
VTMRT_API int vtm_fsm_copyright(char *buffer, int size, VtmFsm fsm);
/* 0 for NULL or an error object. */
VTMRT_API uint32_t vtm_fsm_creation_date(VtmFsm fsm);
/* Capability word: 0x009 analysis (function 12), 0x042 inversion (27), 0x004
 * tokenizing (28), 0x010 tagging (60 and 61), 0x080 expansion (1), 0x100 grouping
 * (62). 0 for NULL or an error object. */
VTMRT_API uint32_t vtm_fsm_capabilities(VtmFsm fsm);
/* Version text of the transducer, "1.0" when the file holds no valid one. */
VTMRT_API int vtm_fsm_version(char *buffer, int size, VtmFsm fsm);
VTMRT_API int vtm_fsm_char_encoding(VtmFsm fsm);
VTMRT_API int vtm_fsm_language(VtmFsm fsm);
/* Reads the 92-byte header of a transducer file alone. */
VTMRT_API VtmHeader vtm_make_header(const char *path);
VTMRT_API void vtm_free_header(VtmHeader header);
/* 1 when the headers of a and b (each a header or a transducer) are equal, else 0;
 * VTM_ERR_NULL_OBJECT when either is NULL; an error object gives its own code. */
VTMRT_API int vtm_compare_header(const void *a, const void *b);

VTMRT_API VtmFsm vtmOpenLexicalTransducer(const char *path);
VTMRT_API void vtmCloseLexicalTransducer(VtmFsm fsm);
VTMRT_API int vtmLexicalTransducerCopyrightMessage(char *buffer, int size, VtmFsm fsm);
VTMRT_API uint32_t vtmLexicalTransducerCreationDate(VtmFsm fsm);
VTMRT_API uint32_t vtmLexicalTransducerCapabilities(VtmFsm fsm);
VTMRT_API int vtmLexicalTransducerVersion(char *buffer, int size, VtmFsm fsm);
VTMRT_API int vtmLexicalTransducerCharEncoding(VtmFsm fsm);
VTMRT_API int vtmLexicalTransducerLanguage(VtmFsm fsm);
VTMRT_API VtmHeader vtmMakeHeader(const char *path);
VTMRT_API void vtmFreeHeader(VtmHeader header);
VTMRT_API int vtmCompareHeader(const void *a, const void *b);

/* ---- Tagger ---------------------------------------------------------------- */
/* Flags of vtm_tag_sentence. At least one case mode (1, 2, 4) must be given; with more
 * than one, lower-casing waits for a sentence that looks like a title and capitalising
 * is tried only when the first word begins with a small letter. vtmTagSentence takes
 * exactly one of 1, 2, 4 and VTM_TAG_CASE_AUTO (1, 2 and 4 together), never 8. */
#define VTM_TAG_CASE_EXACT 1
#define VTM_TAG_CASE_LOWER 2
#define VTM_TAG_CASE_UPPER 4
#define VTM_TAG_MULTIWORD 8
#define VTM_TAG_CASE_AUTO 128

/* Loads a tagger model file against a class transducer (functions 60 and 61), which
 * the tagger uses but does not own. Failures: VTM_ERR_NULL_OBJECT, VTM_ERR_INVALID_FSM,
 * VTM_ERR_INVALID_FUNCTION, VTM_ERR_FILE_OPEN, VTM_ERR_BAD_FILE, VTM_ERR_MODEL_MISMATCH
 * (language or version of another transducer), VTM_ERR_NO_MEMORY. */
VTMRT_API VtmTagger vtm_make_tagger(const char *path, VtmFsm fsm);
VTMRT_API void vtm_free_tagger(VtmTagger tagger);
/* Work area for sentences of at most `max_tokens` tokens (blank ones included) and
 * `max_chars` characters; limits 100000 and 1000000. Tagging allocates nothing. */
VTMRT_API VtmTaggerBuffer vtm_make_tagger_buffer(int max_tokens, int max_chars, VtmTagger tagger);
VTMRT_API void vtm_free_tagger_buffer(VtmTaggerBuffer buffer);
/* Tags `count` consecutive NUL-terminated tokens and writes one NUL-terminated string
 * per token into `output`: "" for a blank token, "__mwt" for a non-final word of a
 * multi-word token, else the chosen tag name. Returns `count` or a negative code.
 * `dict` may be NULL; `reserved` is not read. */
VTMRT_API int vtm_tag_sentence(const char *tokens, int count, char *output, int output_size,
                               int flags, VtmTagger tagger, VtmTaggerBuffer buffer,
                               VtmClientDict dict, int reserved);

VTMRT_API VtmTagger vtmMakeTagger(const char *path, VtmFsm fsm);
VTMRT_API void vtmFreeTagger(VtmTagger tagger);
/* As vtm_make_tagger_buffer, and the buffer gets a dictionary of the title-case
 * exception words; free such a buffer with vtmFreeTaggerBuffer. */
VTMRT_API VtmTaggerBuffer vtmMakeTaggerBuffer(int max_tokens, int max_chars, VtmTagger tagger);
VTMRT_API void vtmFreeTaggerBuffer(VtmTaggerBuffer buffer);
/* Tokens end with an empty string; the output list is ended by an empty string too. */
VTMRT_API int vtmTagSentence(const char *tokens, char *output, int output_size,
                             VtmTaggerBuffer buffer, int flags, VtmTagger tagger);

/* ---- Grouper ------------------------------------------------------------ */
/* A grouper brackets a tagged sentence into phrases with a grouping transducer
 * (function 62 for the sentence, 63 for the sub-pass inside "np" groups). Bracket tags
 * of the transducer ("(np" opens, ")np" closes) become labels ("np"). */
typedef struct VtmGrouperRec *VtmGrouper;

/* One group found by vtm_group. */
typedef struct VtmGroup {
  int32_t first_token; /* index of the group's first token */
  int32_t token_count; /* tokens spanned (blank and continuation tokens included); -1: never
                          closed */
  int32_t name_offset; /* offset of the label's zero-terminated text in the name area */
} VtmGroup;
#ifdef __cplusplus
static_assert(sizeof(VtmGroup) == 12, "VtmGroup is three 32-bit words");
#else
_Static_assert(sizeof(VtmGroup) == 12, "VtmGroup is three 32-bit words");
#endif

#define VTM_GROUP_SUBGROUPS 1 /* also group inside every "np" group of 2 tokens or more */
#define VTM_GROUP_SORT 2      /* with VTM_GROUP_SUBGROUPS: records by start, longer first */

/* Makes a grouper on a transducer that serves function 62 (the transducer is not owned
 * and must stay open while the grouper is used). Error objects: VTM_ERR_NULL_OBJECT,
 * the transducer's own when it is one, VTM_ERR_INVALID_FUNCTION, VTM_ERR_NO_MEMORY (also
 * for more than 256 bracket tags). */
VTMRT_API VtmGrouper vtm_make_grouper(VtmFsm fsm);
VTMRT_API void vtm_free_grouper(VtmGrouper grouper);
/* Groups the `count` tags in `tags` (consecutive zero-terminated strings; an empty tag or
 * one starting with "_" is a blank or multi-word-continuation token that the transducer
 * does not see). Writes at most `capacity` records and their labels into `names`
 * (`names_size` bytes) and returns the number of records. A full record array or name
 * area is not an error: the records of the transducer result in which it happened are
 * left out. Failures: VTM_ERR_NULL_OBJECT, VTM_ERR_INVALID_NUMBER,
 * VTM_ERR_INVALID_FUNCTION, VTM_ERR_CHAR_NOT_IN_ALPHABET (unknown tag),
 * VTM_ERR_INVALID_FSM (no path), VTM_ERR_NO_MEMORY. Flags: VTM_GROUP_*. */
VTMRT_API int vtm_group(const char *tags, int count, int flags, VtmGroup *records, int capacity,
                        char *names, int names_size, VtmGrouper grouper);

#ifdef __cplusplus
}
#endif

#endif /* VTMRT_H */
