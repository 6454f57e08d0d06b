#include "forms/support/message_recorder.h"

namespace forms_test {

MessageRecorder::MessageRecorder()
    : main_(std::make_unique<platform::WindowRegistration>(hub_, &mainObject_,
                                                           [](uint32_t, intptr_t, intptr_t) { return intptr_t(0); }))
{
}

MessageRecorder::~MessageRecorder()
{
    main_.reset();
}

bool MessageRecorder::post(platform::WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back({id, msg, w, l});
    }
    return hub_.post(id, msg, w, l);
}

platform::SendResult MessageRecorder::send(platform::WindowId id, uint32_t msg, intptr_t w, intptr_t l)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back({id, msg, w, l});
    }
    return hub_.send(id, msg, w, l);
}

std::vector<platform::WindowMessage> MessageRecorder::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

int MessageRecorder::count(uint32_t msg, platform::WindowId window) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const platform::WindowMessage &m : log_)
        n += m.msg == msg && (window == platform::kNoWindow || m.window == window);
    return n;
}

void MessageRecorder::clear()
{
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
}

} // namespace forms_test
