// Writes table snapshots on a thread of its own, so that a save never makes the user interface
// wait for the checksum, the write and the flushes of a large table.
//
//   platform::TableSaver saver;
//   saver.submit(3, path, table.snapshot());     // the owner's thread: one copy of the rows
//   ...
//   for (platform::TableSaver::Done &d : saver.takeDone()) report(d.key, d.result);
//   saver.waitIdle();                            // before the owner writes the file itself
//
// Jobs run one at a time in the order they were given; a second job for a key still queued
// replaces the first (only the newest state is worth writing). Results wait in takeDone() for the
// owner's thread. The destructor finishes what is queued. Every member may be called from any
// thread; FileOps given to submit() are called on the saver's thread.
#pragma once

#include "platform/table.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class TableSaver {
public:
    struct Done {
        int key = 0;
        uint64_t changes = 0; // the snapshot's changes()
        std::string path;
        TableResult result;
    };

    TableSaver();
    ~TableSaver();
    TableSaver(const TableSaver &) = delete;
    TableSaver &operator=(const TableSaver &) = delete;

    void submit(int key, std::string path, TableSnapshot snap, const FileOps &ops = FileOps::system());
    // True while a job of this key is queued or being written.
    bool busy(int key) const;
    // Waits until every queued job is written.
    void waitIdle();
    // The results finished since the last call, oldest first.
    std::vector<Done> takeDone();

private:
    struct Job {
        int key = 0;
        std::string path;
        TableSnapshot snap;
        FileOps ops;
    };
    void run();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> queue_;
    std::vector<Done> done_;
    int writing_ = -1; // key being written, -1 when none
    bool stop_ = false;
    std::thread thread_;
};

} // namespace platform
