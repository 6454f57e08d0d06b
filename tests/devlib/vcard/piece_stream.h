// A test stream for the vCard reader and splitter: its data can grow between reads, so a card can be
// fed in pieces (the end of data is -202 until more is added); it can refuse to step back, as a
// transport stream may; and it can fail every read with a given error, as a dropped link does.

#ifndef SELVARK_TEST_PIECE_STREAM_H
#define SELVARK_TEST_PIECE_STREAM_H

#include "dv_result.h"
#include "dv_stream.h"

#include <cstring>
#include <string>

class PieceStream {
public:
    explicit PieceStream(std::string data = {}) : data_(std::move(data)) {
        itf_.self = this;
        itf_.del = [](AbsFile *) {};
        itf_.putChar = [](AbsFile *f, int32_t ch) {
            self(f)->written_.push_back(static_cast<char>(ch));
            return ch;
        };
        itf_.getChar = [](AbsFile *f) -> int32_t {
            PieceStream *s = self(f);
            if (s->error_)
                return s->error_;
            if (s->pos_ >= s->data_.size())
                return DV_E_EOF;
            return static_cast<unsigned char>(s->data_[s->pos_++]);
        };
        itf_.ungetChar = [](AbsFile *f) -> int32_t {
            PieceStream *s = self(f);
            if (!s->canUnget_ || s->pos_ == 0)
                return DV_E_STATE;
            --s->pos_;
            return 0;
        };
        itf_.read = [](AbsFile *, void *, int32_t) -> int32_t { return DV_E_UNSUPPORTED; };
        itf_.write = [](AbsFile *f, const void *src, int32_t n) -> int32_t {
            PieceStream *s = self(f);
            if (s->writeRoom_ >= 0 && n > s->writeRoom_)
                n = s->writeRoom_;
            s->written_.append(static_cast<const char *>(src), static_cast<size_t>(n));
            if (s->writeRoom_ >= 0)
                s->writeRoom_ -= n;
            return n;
        };
        itf_.print = nullptr;
        itf_.seek = [](AbsFile *, int32_t, int32_t) -> int32_t { return DV_E_UNSUPPORTED; };
        itf_.tell = [](AbsFile *f) -> int32_t { return static_cast<int32_t>(self(f)->pos_); };
        itf_.flush = [](AbsFile *) -> int32_t { return 0; };
        itf_.size = [](AbsFile *f) -> int32_t { return static_cast<int32_t>(self(f)->data_.size()); };
    }
    PieceStream(const PieceStream &) = delete;
    PieceStream &operator=(const PieceStream &) = delete;

    AbsFile *file() { return &itf_; }
    void add(const std::string &more) { data_ += more; }
    void setCanUnget(bool on) { canUnget_ = on; }
    void setError(int32_t code) { error_ = code; }
    void setWriteRoom(int32_t room) { writeRoom_ = room; }
    size_t pos() const { return pos_; }
    const std::string &written() const { return written_; }

private:
    static PieceStream *self(AbsFile *f) { return static_cast<PieceStream *>(f->self); }

    AbsFile itf_{};
    std::string data_;
    size_t pos_ = 0;
    bool canUnget_ = true;
    int32_t error_ = 0;
    int32_t writeRoom_ = -1; // bytes write may still take; -1 no limit
    std::string written_;
};

#endif
