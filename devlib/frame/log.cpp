// Logging sinks: console (standard error), the host's edit control with its history file, and the
// log file with its begin and end banners.

#include "dv_log.h"
#include "dv_result.h"
#include "vos/vos_int.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr size_t kFormatSize = 2048;
constexpr size_t kEditBufferChars = 2046;      // room left for CR LF growth and the terminator
constexpr size_t kHistoryFlushBytes = 512;
constexpr int32_t kEditMaxText = 29000;
constexpr int32_t kEditMinLines = 50;
constexpr int32_t kEditDropLines = 51;

bool g_consoleOpen = false;

struct EditSink {
    bool open = false;
    StdoutEditHost host{};
    std::string history;
    FILE *historyFile = nullptr;
} g_edit;

FILE *g_logFile = nullptr;

char g_format[kFormatSize];

void writeBanner(FILE *f, const char *word) {
    std::string stars(78, '*');
    time_t now = time(nullptr);
    char when[64] = "";
    if (ctime_r(&now, when) == nullptr)
        when[0] = '\0';
    // ctime's text ends in its own line feed.
    std::fprintf(f, "%s\n* %s at %s%s\n", stars.c_str(), word, when, stars.c_str());
}

void closeLog() {
    if (!g_logFile)
        return;
    writeBanner(g_logFile, "End");
    std::fputc('\n', g_logFile);
    std::fclose(g_logFile);
    g_logFile = nullptr;
}

void flushHistory() {
    if (g_edit.history.empty())
        return;
    if (g_edit.historyFile) {
        std::fwrite(g_edit.history.data(), 1, g_edit.history.size(), g_edit.historyFile);
        std::fflush(g_edit.historyFile);
    }
    g_edit.history.clear();
}

int32_t consoleWrite(const char *text, size_t len) {
    size_t done = 0;
    while (done < len) {
        ssize_t n = ::write(STDERR_FILENO, text + done, len - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The console itself failed, so the failure is shown through the host's message box.
            const long err = n < 0 ? static_cast<long>(errno) : static_cast<long>(EIO);
            char msg[64];
            std::snprintf(msg, sizeof msg, "write stdout fail: %ld", err);
            Vos_messageBox(msg, "info");
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int32_t>(len);
}

int32_t editWrite(const char *text) {
    // Line feeds become CR LF, as a text control expects; what does not fit the conversion buffer
    // is dropped from this print.
    char buf[kEditBufferChars + 2];
    size_t n = 0;
    for (const char *p = text; *p && n < kEditBufferChars; ++p) {
        if (*p == '\n') {
            if (n + 2 > kEditBufferChars)
                break;
            buf[n++] = '\r';
        }
        buf[n++] = *p;
    }
    buf[n] = '\0';
    g_edit.history.append(buf, n);
    if (g_edit.history.size() >= kHistoryFlushBytes)
        flushHistory();
    const StdoutEditHost &h = g_edit.host;
    if (h.textLength(h.ctx) > kEditMaxText && h.lineCount(h.ctx) > kEditMinLines)
        h.deleteFirstLines(h.ctx, kEditDropLines);
    h.append(h.ctx, buf);
    return static_cast<int32_t>(n);
}

} // namespace

extern "C" DV_API int32_t StdoutConsole_init(void) {
    g_consoleOpen = true;
    return 0;
}

extern "C" DV_API void StdoutConsole_cleanup(void) {
    g_consoleOpen = false;
    closeLog();
}

extern "C" DV_API int32_t StdoutEdit_init(const StdoutEditHost *host) {
    if (g_edit.open)
        return 0;
    if (!host || !host->textLength || !host->lineCount || !host->deleteFirstLines || !host->append)
        return DV_E_ARG;
    g_edit.host = *host;
    g_edit.history.clear();
    g_edit.history.reserve(8192);
    g_edit.historyFile = std::fopen("history.txt", "a+b");
    g_edit.open = true;
    return 0;
}

extern "C" DV_API void StdoutEdit_cleanup(void) {
    if (g_edit.open) {
        flushHistory();
        if (g_edit.historyFile)
            std::fclose(g_edit.historyFile);
        g_edit.historyFile = nullptr;
        g_edit.open = false;
        g_edit.host = StdoutEditHost{};
        std::string().swap(g_edit.history);
    }
    closeLog();
}

extern "C" DV_API int32_t Stdout_setLog(const char *path) {
    closeLog();
    if (!path)
        return 0;
    g_logFile = std::fopen(path, "a");
    if (g_logFile) {
        writeBanner(g_logFile, "Begin");
        std::fflush(g_logFile);
    }
    return 0;
}

extern "C" DV_API int32_t Stdout_vprintf(const char *fmt, va_list args) {
    if (!g_consoleOpen && !g_edit.open)
        return -1;
    if (!fmt)
        return -1;
    int len = std::vsnprintf(g_format, sizeof g_format, fmt, args);
    if (len < 0)
        return -1;
    size_t n = static_cast<size_t>(len) < sizeof g_format ? static_cast<size_t>(len) : sizeof g_format - 1;
    int32_t consoleCount = -1, editCount = -1, logCount = -1;
    if (g_consoleOpen)
        consoleCount = consoleWrite(g_format, n);
    if (g_edit.open)
        editCount = editWrite(g_format);
    if (g_logFile) {
        size_t w = std::fwrite(g_format, 1, n, g_logFile);
        std::fflush(g_logFile);
        logCount = w == n ? static_cast<int32_t>(w) : -1;
    }
    if (g_logFile)
        return logCount;
    if (g_edit.open)
        return editCount;
    return consoleCount;
}

extern "C" DV_API int32_t Stdout_printf(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    int32_t r = Stdout_vprintf(fmt, args);
    va_end(args);
    return r;
}

extern "C" DV_API int32_t Stdout_dump(const void *bytes, int32_t n) {
    const auto *p = static_cast<const unsigned char *>(bytes);
    if (!p || n <= 0)
        return n < 0 ? 0 : n;
    for (int32_t i = 0; i < n; ++i)
        Stdout_printf("%02x%c", p[i], (i + 1) % 16 == 0 ? '\n' : ' ');
    if (n % 16 != 0)
        Stdout_printf("\n");
    return n;
}

extern "C" DV_API int32_t printLine(const char *s) { return Stdout_printf("%s\n", s ? s : ""); }
extern "C" DV_API int32_t printStr(const char *s) { return Stdout_printf("%s", s ? s : ""); }
