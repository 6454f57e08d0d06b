// AbsFileFile: a buffered file of the C library behind the stream interface.

#include "stream/stream_int.h"
#include "dv_result.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <new>

using namespace dvstream;

namespace {

struct FileObj {
    uint32_t magic;
    AbsFile itf;
    FILE *fp;
};

FILE *fp(AbsFile *f) { return static_cast<FileObj *>(f->self)->fp; }

void fileDel(AbsFile *f) { AbsFileFile_delete(f); }

int32_t filePutc(AbsFile *f, int32_t ch) {
    int r = std::fputc(static_cast<unsigned char>(ch), fp(f));
    return r == EOF ? DV_E_IO : r;
}

int32_t fileGetc(AbsFile *f) {
    int c = std::fgetc(fp(f));
    if (c != EOF)
        return c;
    return std::ferror(fp(f)) ? DV_E_IO : DV_E_EOF;
}

int32_t fileUngetc(AbsFile *f) {
    FILE *file = fp(f);
    long pos = std::ftell(file);
    if (pos <= 0 || std::fseek(file, -1L, SEEK_CUR) != 0)
        return DV_E_STATE;
    return 0;
}

int32_t fileRead(AbsFile *f, void *dst, int32_t n) {
    if (n <= 0 || !dst)
        return 0;
    size_t k = std::fread(dst, 1, static_cast<size_t>(n), fp(f));
    if (k == 0 && std::ferror(fp(f)))
        return DV_E_IO;
    return static_cast<int32_t>(k);
}

int32_t fileWrite(AbsFile *f, const void *src, int32_t n) {
    if (n <= 0 || !src)
        return 0;
    size_t k = std::fwrite(src, 1, static_cast<size_t>(n), fp(f));
    if (k == 0)
        return DV_E_IO;
    return static_cast<int32_t>(k);
}

int32_t filePrintf(AbsFile *f, const char *fmt, ...) {
    if (!fmt)
        return DV_E_ARG;
    va_list args;
    va_start(args, fmt);
    int r = std::vfprintf(fp(f), fmt, args);
    va_end(args);
    return r < 0 ? DV_E_IO : r;
}

int32_t fileSeek(AbsFile *f, int32_t offset, int32_t whence) {
    int how;
    switch (whence) {
    case 0: how = SEEK_SET; break;
    case 1: how = SEEK_CUR; break;
    case 2: how = SEEK_END; break;
    default: return DV_E_ARG;
    }
    errno = 0;
    if (std::fseek(fp(f), offset, how) != 0)
        return errno == EINVAL ? DV_E_ARG : DV_E_IO;
    return 0;
}

int32_t fileTell(AbsFile *f) {
    long pos = std::ftell(fp(f));
    if (pos < 0 || pos > INT32_MAX)
        return DV_E_IO;
    return static_cast<int32_t>(pos);
}

int32_t fileFlush(AbsFile *f) { return std::fflush(fp(f)) == 0 ? 0 : DV_E_IO; }

int32_t fileSize(AbsFile *f) {
    FILE *file = fp(f);
    long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return DV_E_IO;
    long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < 0)
        return DV_E_IO;
    return end > INT32_MAX ? DV_E_IO : static_cast<int32_t>(end);
}

} // namespace

extern "C" DV_API AbsFile *AbsFileFile_new(const char *path, const char *mode) {
    if (!path || !mode)
        return nullptr;
    auto *obj = new (std::nothrow) FileObj{};
    if (!obj)
        return nullptr;
    obj->fp = std::fopen(path, mode);
    if (!obj->fp) {
        delete obj;
        return nullptr;
    }
    obj->magic = kMagicFile;
    obj->itf = AbsFile{obj, fileDel, filePutc, fileGetc, fileUngetc, fileRead, fileWrite, filePrintf,
                       fileSeek, fileTell, fileFlush, fileSize};
    return &obj->itf;
}

extern "C" DV_API void AbsFileFile_delete(AbsFile *stream) {
    FileObj *obj = objectOf<FileObj>(stream, kMagicFile);
    if (!obj)
        return;
    std::fclose(obj->fp);
    obj->magic = 0;
    delete obj;
}
