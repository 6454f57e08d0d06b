// The hand-over table: raw entries the worker thread reads from the handset, handed to the
// content managers on the user-interface thread.
//
//   worker:  data.ClearData(); for each entry: data.AddData(stor, index, bytes, len);
//   manager: for (int i = 0; i < data.Count(); ++i) data.GetData(i, &stor, buf, &len, &index);
//
// Rows {ID, Stor, Index, DataLen, Data} stay in append order. The table lives in memory only and
// is never saved. Every operation holds the table's own lock, so the worker may write while a
// manager reads.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace core {

class TdmCommData {
public:
    // The most bytes one row's Data holds.
    static constexpr int kMaxDataLen = 10240;
    // AddData's answer to a length below 0 or above kMaxDataLen (or bytes missing).
    static constexpr int kBadArgument = -81;

    // Deletes every row (ids go on counting).
    void ClearData();

    // Appends {stor, index, len bytes of data}. 0 when added; kBadArgument (nothing added) for a
    // length outside 0 .. kMaxDataLen or no bytes where len > 0.
    int AddData(int stor, int index, const void *data, int len);

    // Row i (from 0): true when it exists. Copies min(*len, DataLen) bytes into buf and sets *len
    // to that count (0 for a negative *len or a null buf); stor and index receive the row's values.
    // Null out-pointers are skipped. Outside 0 .. Count()-1: false and nothing is touched.
    bool GetData(int i, int *stor, void *buf, int *len, int *index) const;

    int Count() const;

private:
    struct Entry {
        int id = 0; // ID: numbered from 1 in append order, never reused
        int stor = 0;
        int index = 0;
        std::vector<uint8_t> data; // DataLen is its size
    };

    mutable std::mutex mutex_;
    std::vector<Entry> rows_;
    int nextId_ = 1;
};

} // namespace core
