// Header objects: reading the header alone, byte order, and comparing headers of
// header objects and transducers.
#include <fcntl.h>
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <io.h>
#include <share.h>
#else
#include <sys/file.h>
#include <unistd.h>
#endif

#include "fst/fsm_header.h"
#include "support/fsm_fixtures.h"

namespace vtm {
namespace {

using compiler::PutU8;
namespace ho = header_offset;

struct HeaderCloser {
  void operator()(VtmHeaderRec* h) const { vtm_free_header(h); }
};
using HeaderPtr = std::unique_ptr<VtmHeaderRec, HeaderCloser>;

TEST(FstHeader, FieldsAreConvertedFromBigEndian) {
  std::vector<uint8_t> bytes(92);
  for (int i = 0; i < 92; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  VtmHeaderRec h;
  ParseHeader(bytes.data(), &h);
  EXPECT_EQ(h.unused0, 0x0102);
  EXPECT_EQ(h.header_size, 4);
  EXPECT_EQ(h.creation_date, 0x090A0B0Cu);
  EXPECT_EQ(h.network_offset, 0x1314);
  EXPECT_EQ(h.esc_label, 24);
  EXPECT_EQ(h.network_size, 0x45464748u);
  EXPECT_EQ(h.char_map_count, 83);
  EXPECT_EQ(h.nid_label, 87);
  EXPECT_EQ(h.symbol_name_offset, 0x5B5C);
  EXPECT_EQ(h.unused53[2], 56);
  uint8_t back[92];
  SerializeHeader(h, back);
  EXPECT_EQ(std::vector<uint8_t>(back, back + 92), bytes);
}

TEST(FstHeader, MakeHeaderReadsTheHeaderAlone) {
  std::vector<uint8_t> bytes = test::LayOut(test::BasicSpec());
  bytes.resize(92);  // no table area or network: a header object still reads
  std::string path = test::WriteBytes("header_only.fst", bytes);
  HeaderPtr h(vtm_make_header(path.c_str()));
  ASSERT_EQ(vtm_object_error_code(h.get()), 0);
  EXPECT_EQ(h->creation_date, 0x01020304u);
  EXPECT_EQ(h->header_size, 92);

  bytes.pop_back();
  path = test::WriteBytes("header_short.fst", bytes);
  EXPECT_EQ(vtm_object_error_code(vtm_make_header(path.c_str())), VTM_ERR_BAD_FILE);
  bytes = test::LayOut(test::BasicSpec());
  PutU8(bytes, ho::kFormatVersion, 0);
  path = test::WriteBytes("header_version.fst", bytes);
  EXPECT_EQ(vtm_object_error_code(vtmMakeHeader(path.c_str())), VTM_ERR_BAD_FILE);
  EXPECT_EQ(vtm_object_error_code(vtm_make_header(nullptr)), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_object_error_code(vtm_make_header("/nonexistent")), VTM_ERR_FILE_OPEN);
  vtm_free_header(nullptr);
  vtmFreeHeader(static_cast<VtmHeader>(vtm_error_object(VTM_ERR_BAD_FILE)));
}

TEST(FstHeader, CompareHeaders) {
  compiler::TransducerSpec spec = test::BasicSpec();
  std::string path_a = test::WriteSpec("cmp_a.fst", spec);
  spec.header.creation_date += 1;
  std::string path_b = test::WriteSpec("cmp_b.fst", spec);
  HeaderPtr a(vtm_make_header(path_a.c_str()));
  HeaderPtr a2(vtm_make_header(path_a.c_str()));
  HeaderPtr b(vtm_make_header(path_b.c_str()));
  test::FsmPtr fsm_a = test::Open(path_a);
  test::FsmPtr fsm_b = test::Open(path_b);
  ASSERT_EQ(vtm_object_error_code(fsm_a.get()), 0);
  EXPECT_EQ(vtm_compare_header(a.get(), fsm_a.get()), 1);
  EXPECT_EQ(vtm_compare_header(fsm_a.get(), a.get()), 1);
  EXPECT_EQ(vtm_compare_header(a.get(), a2.get()), 1);
  EXPECT_EQ(vtm_compare_header(fsm_a.get(), fsm_a.get()), 1);
  EXPECT_EQ(vtm_compare_header(a.get(), b.get()), 0);
  EXPECT_EQ(vtmCompareHeader(fsm_a.get(), fsm_b.get()), 0);
  EXPECT_EQ(vtm_compare_header(nullptr, a.get()), VTM_ERR_NULL_OBJECT);
  EXPECT_EQ(vtm_compare_header(a.get(), nullptr), VTM_ERR_NULL_OBJECT);
  void* error = vtm_error_object(VTM_ERR_BAD_FILE);
  EXPECT_EQ(vtm_compare_header(error, a.get()), VTM_ERR_BAD_FILE);
  EXPECT_EQ(vtm_compare_header(a.get(), error), VTM_ERR_BAD_FILE);
  EXPECT_EQ(vtm_compare_header(error, nullptr), VTM_ERR_NULL_OBJECT);
}

// A writer holding the file: an exclusive advisory lock, or on Windows an open handle
// with write access (the loader's share mode denies writers). Exclusive() tells whether
// nobody else holds the file now.
#if defined(_WIN32)
class Writer {
 public:
  explicit Writer(const std::string& path) : path_(path) {
    _sopen_s(&fd_, path.c_str(), _O_RDWR | _O_BINARY, _SH_DENYNO, 0);
  }
  ~Writer() { Release(); }
  bool holding() const { return fd_ >= 0; }
  void Release() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
  }
  bool Exclusive() {
    int fd = -1;
    if (_sopen_s(&fd, path_.c_str(), _O_RDWR | _O_BINARY, _SH_DENYRW, 0) != 0) return false;
    _close(fd);
    return true;
  }

 private:
  std::string path_;
  int fd_ = -1;
};
#else
class Writer {
 public:
  explicit Writer(const std::string& path) : fd_(::open(path.c_str(), O_RDWR)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Writer() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool holding() const { return fd_ >= 0; }
  void Release() { ::flock(fd_, LOCK_UN); }
  bool Exclusive() { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

 private:
  int fd_;
};
#endif

TEST(FstHeader, FileLockedForWritingIsNotOpened) {
  std::string path = test::WriteSpec("locked.fst", test::BasicSpec());
  Writer writer(path);
  ASSERT_TRUE(writer.holding());
  EXPECT_EQ(vtm_object_error_code(vtm_make_fsm(path.c_str())), VTM_ERR_FILE_OPEN);
  EXPECT_EQ(vtm_object_error_code(vtm_make_header(path.c_str())), VTM_ERR_FILE_OPEN);
  writer.Release();
  test::FsmPtr fsm = test::Open(path);
  EXPECT_EQ(vtm_object_error_code(fsm.get()), 0);
  // A reader's hold is released again: a writer can take the file after the load.
  EXPECT_TRUE(writer.Exclusive());
}

}  // namespace
}  // namespace vtm
