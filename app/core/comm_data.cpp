#include "core/comm_data.h"

#include <algorithm>
#include <cstring>

namespace core {

void TdmCommData::ClearData()
{
    std::lock_guard lock(mutex_);
    rows_.clear();
}

int TdmCommData::AddData(int stor, int index, const void *data, int len)
{
    // An entry larger than Data would be cut; refuse it whole instead.
    if (len < 0 || len > kMaxDataLen || (len > 0 && !data))
        return kBadArgument;
    Entry e;
    e.stor = stor;
    e.index = index;
    const auto *bytes = static_cast<const uint8_t *>(data);
    e.data.assign(bytes, bytes + len);
    std::lock_guard lock(mutex_);
    e.id = nextId_++;
    rows_.push_back(std::move(e));
    return 0;
}

bool TdmCommData::GetData(int i, int *stor, void *buf, int *len, int *index) const
{
    std::lock_guard lock(mutex_);
    if (i < 0 || size_t(i) >= rows_.size())
        return false;
    const Entry &e = rows_[size_t(i)];
    if (stor)
        *stor = e.stor;
    if (index)
        *index = e.index;
    if (len) {
        int n = std::min(*len, int(e.data.size()));
        if (n < 0 || !buf)
            n = 0;
        if (n > 0)
            std::memcpy(buf, e.data.data(), size_t(n));
        *len = n;
    }
    return true;
}

int TdmCommData::Count() const
{
    std::lock_guard lock(mutex_);
    return int(rows_.size());
}

} // namespace core
