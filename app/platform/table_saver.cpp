#include "platform/table_saver.h"

#include <algorithm>
#include <utility>

namespace platform {

TableSaver::TableSaver() : thread_([this] { run(); }) {}

TableSaver::~TableSaver()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void TableSaver::submit(int key, std::string path, TableSnapshot snap, const FileOps &ops)
{
    {
        std::lock_guard lock(mutex_);
        auto it = std::find_if(queue_.begin(), queue_.end(), [key](const Job &j) { return j.key == key; });
        Job job{key, std::move(path), std::move(snap), ops};
        if (it != queue_.end())
            *it = std::move(job);
        else
            queue_.push_back(std::move(job));
    }
    wake_.notify_all();
}

bool TableSaver::busy(int key) const
{
    std::lock_guard lock(mutex_);
    return writing_ == key ||
           std::any_of(queue_.begin(), queue_.end(), [key](const Job &j) { return j.key == key; });
}

void TableSaver::waitIdle()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && writing_ < 0; });
}

std::vector<TableSaver::Done> TableSaver::takeDone()
{
    std::lock_guard lock(mutex_);
    return std::exchange(done_, {});
}

void TableSaver::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping, and nothing is left to write
        Job job = std::move(queue_.front());
        queue_.pop_front();
        writing_ = job.key;
        lock.unlock();
        Done d{job.key, job.snap.changes, job.path, {}};
        d.result = Table::saveSnapshot(std::move(job.snap), job.path, job.ops);
        lock.lock();
        done_.push_back(std::move(d));
        writing_ = -1;
        if (queue_.empty())
            idle_.notify_all();
    }
}

} // namespace platform
