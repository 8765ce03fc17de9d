// Tagging and grouping batches of sentences in order (see chunk_pipeline.h).
#include "chunk_pipeline.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vtm::cli {
namespace {

// A batch is handed over when its sentences reach this many bytes: large enough that
// threads meet rarely, small enough that its output stays in the cache.
constexpr std::size_t kBatchBytes = 64 * 1024;
// Batches in flight per thread (queued, being worked on or waiting to be written).
constexpr std::size_t kBatchesPerThread = 3;

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

struct ChunkPipeline::Batch {
  std::string name;               // the input the sentences come from
  std::size_t first_number = 0;   // number of the first sentence (from 1, over all inputs)
  std::string text;               // the sentences, one after another
  std::vector<std::size_t> ends;  // end of each sentence in `text`
  std::string out, messages;      // output and stderr lines
  std::size_t failed = 0;         // sentences not tagged or not grouped
  bool done = false;
};

class ChunkPipeline::Worker {
 public:
  explicit Worker(const ChunkSetup& setup) : chunker_(setup) {}

  void Process(Batch* batch) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < batch->ends.size(); ++k) {
      const std::string_view line(batch->text.data() + start, batch->ends[k] - start);
      start = batch->ends[k];
      const std::size_t number = batch->first_number + k;
      const std::string error = chunker_.Sentence(line, number, &batch->out);
      if (!error.empty()) {
        ++batch->failed;
        batch->messages += "vtm chunk: " + batch->name + ": sentence " + std::to_string(number) +
                           ": " + error + "\n";
      }
    }
  }

 private:
  SentenceChunker chunker_;
};

ChunkPipeline::ChunkPipeline(const ChunkSetup& setup) : setup_(setup) {
  const int threads = setup.threads < 1 ? 1 : setup.threads;
  for (int k = 0; k < threads; ++k) workers_.push_back(std::make_unique<Worker>(setup_));
  if (threads > 1) {
    for (auto& worker : workers_)
      threads_.emplace_back([this, w = worker.get()] { WorkerLoop(w); });
  }
}

ChunkPipeline::~ChunkPipeline() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    closing_ = true;
  }
  work_ready_.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool ChunkPipeline::Add(std::string_view sentence, const std::string& name) {
  if (write_failed_) return false;
  if (filling_ && filling_->name != name && !Submit()) return false;
  if (!filling_) {
    filling_ = std::make_unique<Batch>();
    filling_->name = name;
    filling_->first_number = sentences_ + 1;
  }
  filling_->text.append(sentence);
  filling_->ends.push_back(filling_->text.size());
  ++sentences_;
  return filling_->text.size() < kBatchBytes || Submit();
}

bool ChunkPipeline::EndInput() {
  return !filling_ || Submit();
}

bool ChunkPipeline::Submit() {
  std::unique_ptr<Batch> batch = std::move(filling_);
  if (threads_.empty()) {
    workers_.front()->Process(batch.get());
    return Write(*batch);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  while (in_flight_.size() >= kBatchesPerThread * threads_.size()) {
    if (!WriteDone(&lock, true)) return false;
  }
  in_flight_.push_back(std::move(batch));
  work_ready_.notify_one();
  return WriteDone(&lock, false);
}

// Writes the finished batches at the front of the queue, in order; with `wait`, first
// waits until the front one is finished. Called with the lock held; writes without it.
bool ChunkPipeline::WriteDone(std::unique_lock<std::mutex>* lock, bool wait) {
  if (wait) batch_done_.wait(*lock, [this] { return in_flight_.front()->done; });
  while (!in_flight_.empty() && in_flight_.front()->done) {
    std::unique_ptr<Batch> batch = std::move(in_flight_.front());
    in_flight_.pop_front();
    --next_to_take_;
    lock->unlock();
    const bool written = Write(*batch);
    lock->lock();
    if (!written) return false;
  }
  return true;
}

bool ChunkPipeline::Write(const Batch& batch) {
  failed_ += batch.failed;
  if (!batch.messages.empty()) std::fputs(batch.messages.c_str(), stderr);
  if (write_failed_ || !WriteAll(1, batch.out)) {
    if (!write_failed_)
      std::fprintf(stderr, "vtm chunk: cannot write the output: %s\n", std::strerror(errno));
    write_failed_ = true;
    return false;
  }
  return true;
}

bool ChunkPipeline::Finish() {
  if (!EndInput()) return false;
  if (threads_.empty()) return true;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!in_flight_.empty()) {
    if (!WriteDone(&lock, true)) return false;
  }
  return true;
}

void ChunkPipeline::WorkerLoop(Worker* worker) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return closing_ || next_to_take_ < in_flight_.size(); });
    if (next_to_take_ >= in_flight_.size()) return;  // closing, nothing left
    Batch* batch = in_flight_[next_to_take_++].get();
    lock.unlock();
    worker->Process(batch);
    lock.lock();
    batch->done = true;
    batch_done_.notify_all();
  }
}

}  // namespace vtm::cli
