#include "core/comm/comm_command.h"

#include "core/comm/comm_thread.h"

namespace core {

void TBaseClt::SetItf(int32_t id, uint64_t serial)
{
    std::lock_guard<std::mutex> lock(mutex_);
    template_.itfId = id;
    template_.serial = serial;
}

int32_t TBaseClt::itfId() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return template_.itfId;
}

uint64_t TBaseClt::serial() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return template_.serial;
}

int32_t TBaseClt::queue(uint8_t code, CommArgument arg, platform::WindowId window)
{
    TCommCommand cmd;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cmd = template_;
    }
    cmd.code = code;
    cmd.arg = std::move(arg);
    cmd.window = window;
    worker_.AddCommand(cmd);
    return 0;
}

int32_t TBaseClt::ReadList(std::shared_ptr<TDataArray> jobs, platform::WindowId window)
{
    return queue(kCmdReadList, std::move(jobs), window);
}

int32_t TBaseClt::WriteList(std::shared_ptr<TDataArray> jobs, platform::WindowId window)
{
    return queue(kCmdWriteList, std::move(jobs), window);
}

int32_t TBaseClt::SendList(std::shared_ptr<TDataArray> jobs, platform::WindowId window)
{
    return queue(kCmdSendList, std::move(jobs), window);
}

int32_t TBaseClt::GetStorageInfo(std::shared_ptr<StorageStatus> status, platform::WindowId window)
{
    return queue(kCmdStorStatus, std::move(status), window);
}

int32_t TBaseClt::GetStorageInfoEx(std::shared_ptr<StorageStatusEx> status, platform::WindowId window)
{
    return queue(kCmdStorStatusEx, std::move(status), window);
}

} // namespace core
