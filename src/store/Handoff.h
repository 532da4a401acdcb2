#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace pantrio {

// Hands batches from one thread to another, in order. The giving side waits while `most` batches
// are waiting (0: never waits), so a fast reader cannot run ahead by a whole file. The giver
// ends it with finish() (and the error that stopped it, if one did): take() then returns what
// was left, then nothing. stop() ends it at once for both: put() drops what it is given and
// take() returns nothing.
template <typename T> class Handoff
{
public:
    explicit Handoff(std::size_t most) : most_(most) {}

    void put(T&& batch)
    {
        std::unique_lock lock(mutex_);
        roomLeft_.wait(lock, [&] { return most_ == 0 || waiting_.size() < most_ || stopped_; });
        if (stopped_)
            return;
        waiting_.push_back(std::move(batch));
        given_.notify_one();
    }

    // Gives `batch` only when there is room for it at once; false, and `batch` kept, otherwise.
    bool tryPut(T& batch)
    {
        const std::lock_guard lock(mutex_);
        if (stopped_)
            return true;
        if (most_ != 0 && waiting_.size() >= most_)
            return false;
        waiting_.push_back(std::move(batch));
        given_.notify_one();
        return true;
    }

    // The next batch; none once the giver finished and all was taken. Waits when `wait` is set.
    std::optional<T> take(bool wait = true)
    {
        std::unique_lock lock(mutex_);
        if (wait)
            given_.wait(lock, [&] { return !waiting_.empty() || finished_ || stopped_; });
        if (waiting_.empty() || stopped_)
            return std::nullopt;
        T batch = std::move(waiting_.front());
        waiting_.pop_front();
        roomLeft_.notify_one();
        return batch;
    }

    void finish(std::exception_ptr error = nullptr)
    {
        const std::lock_guard lock(mutex_);
        finished_ = true;
        error_ = error;
        given_.notify_all();
    }

    void stop()
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        waiting_.clear();
        roomLeft_.notify_all();
        given_.notify_all();
    }

    bool stopped() const
    {
        const std::lock_guard lock(mutex_);
        return stopped_;
    }

    // What ended the giving side, once take() found nothing more.
    std::exception_ptr error() const
    {
        const std::lock_guard lock(mutex_);
        return error_;
    }

private:
    const std::size_t most_;
    mutable std::mutex mutex_;
    std::condition_variable roomLeft_, given_;
    std::deque<T> waiting_;
    bool finished_ = false, stopped_ = false;
    std::exception_ptr error_;
};

} // namespace pantrio
