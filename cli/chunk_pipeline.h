// The back half of `vtm chunk`: sentences from the tokenizer are tagged and grouped in
// batches, on the calling thread (-j 1) or on worker threads, and the output of every
// batch is written in input order. At most a few batches per thread are in flight, so
// memory stays bounded on any input. Each worker owns a tagging session (its own tagger
// buffer) and a group writer; the tagger and the grouper are shared, which the library
// allows since both are only read. Tested by tests/cli/chunk_command_test.sh.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "group_writer.h"
#include "sentence_chunker.h"
#include "vtmrt.h"

namespace vtm::cli {

class ChunkPipeline {
 public:
  explicit ChunkPipeline(const ChunkSetup& setup);
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;
  ~ChunkPipeline();

  // Takes one sentence of input `name`: its tokens separated by single spaces, as
  // `vtm tokenize --sentences` writes them. False once writing the output has failed.
  bool Add(std::string_view sentence, const std::string& name);
  // Hands over the sentences taken so far (call at the end of each input).
  bool EndInput();
  // Waits for every batch and writes the rest; false when writing failed (reported).
  bool Finish();

  std::size_t sentences() const { return sentences_; }
  std::size_t failed() const { return failed_; }

 private:
  struct Batch;
  class Worker;

  bool Submit();
  bool WriteDone(std::unique_lock<std::mutex>* lock, bool wait);
  bool Write(const Batch& batch);
  void WorkerLoop(Worker* worker);

  ChunkSetup setup_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::vector<std::thread> threads_;
  std::unique_ptr<Batch> filling_;
  std::size_t sentences_ = 0, failed_ = 0;
  bool write_failed_ = false;

  std::mutex mutex_;
  std::condition_variable work_ready_, batch_done_;
  std::deque<std::unique_ptr<Batch>> in_flight_;  // in input order
  std::size_t next_to_take_ = 0;                  // index in in_flight_
  bool closing_ = false;
};

}  // namespace vtm::cli
