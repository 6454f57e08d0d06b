#include "controls/history/history.h"

#include "platform/paths.h"

#include <QLoggingCategory>

#include <sys/stat.h>

#include <cerrno>

namespace controls {

namespace {

Q_LOGGING_CATEGORY(lcHistory, "selvark.controls.history")

std::string diskPath(const QString &name)
{
    return platform::resolveCase(name.toUtf8().toStdString());
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

bool History::isBlank(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > u' ')
            return false;
    }
    return true;
}

QString History::recorded(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u' ';
        } else {
            out += c;
        }
    }
    return out;
}

QStringList History::parse(const QByteArray &bytes)
{
    QStringList out;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < n) {
        qsizetype end = i;
        while (end < n && !isLineEnd(bytes[end]))
            ++end;
        // Explicit length: a NUL or an invalid byte stays inside its entry instead of ending it.
        QString line = QString::fromUtf8(bytes.constData() + i, end - i);
        if (!isBlank(line))
            out.append(std::move(line));
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n')
            ++end;
        i = end + 1;
    }
    return out;
}

QByteArray History::serialize(const QStringList &entries)
{
    QByteArray out;
    for (const QString &e : entries) {
        out += e.toUtf8();
        out += "\r\n";
    }
    return out;
}

platform::FileResult History::SetFilename(const QString &name)
{
    entries_.clear();
    holdSaves_ = false;
    platform::FileResult r;
    if (!name.isEmpty()) {
        const std::string path = diskPath(name);
        platform::ReadResult read = platform::readWholeFile(path, MaxFileBytes);
        switch (read.status) {
        case platform::ReadStatus::Ok:
            entries_ = parse(QByteArray::fromStdString(read.data));
            break;
        case platform::ReadStatus::Missing:
            break;
        case platform::ReadStatus::TooLarge:
        case platform::ReadStatus::Failed:
        case platform::ReadStatus::NotRegular: {
            // Something we cannot read is there: writing over it would lose it.
            struct stat st{};
            holdSaves_ = read.status == platform::ReadStatus::TooLarge || ::stat(path.c_str(), &st) == 0;
            r = platform::FileResult::failure(read.error, read.message);
            qCWarning(lcHistory).noquote() << "History not loaded:" << QString::fromStdString(read.message);
            break;
        }
        }
    }
    filename_ = name;
    return r;
}

History::AddResult History::AddHistory(const QString &text)
{
    AddResult r;
    if (isBlank(text))
        return r;
    const QString entry = recorded(text);
    for (const QString &e : entries_) {
        if (QString::compare(e, entry, Qt::CaseInsensitive) == 0) {
            r.added = Added::Present;
            return r;
        }
    }
    entries_.prepend(entry);
    if (entries_.size() > maxrecord_)
        entries_.removeLast();
    r.added = Added::New;
    r.saved = save();
    return r;
}

platform::FileResult History::save()
{
    if (filename_.isEmpty())
        return {};
    const std::string path = diskPath(filename_);
    platform::FileResult r;
    if (holdSaves_) {
        r = platform::FileResult::failure(
            EACCES, "Not saved: " + path + " could not be read, so it is left as it is");
    } else {
        r = platform::writeFileSafely(path, serialize(entries_).toStdString(),
                                      ops_ ? *ops_ : platform::FileOps::system());
    }
    if (!r)
        qCWarning(lcHistory).noquote() << "History kept in memory only:" << QString::fromStdString(r.message);
    return r;
}

} // namespace controls
