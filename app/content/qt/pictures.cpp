#include "content/qt/pictures.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <array>
#include <mutex>

namespace content {

namespace {

// Index -> theme names. Several boxes and states share one drawing of ours when the theme fails.
QStringList pictureNames(int index)
{
    switch (index) {
    case kPicLocalRoot: return {"computer"};
    case kPicInbox: return {"mail-inbox", "internet-mail"};
    case kPicOutbox: return {"mail-outbox", "network-transmit"};
    case kPicSentBox: return {"mail-sent"};
    case kPicDraftBox: return {"accessories-text-editor", "text-editor"};
    case kPicRecycleBox: return {"user-trash"};
    case kPicPhoneRoot: return {"phone"};
    case kPicPhoneInbox: return {"folder-remote"};
    case kPicPhoneStored: return {"folder-visiting", "folder-open"};
    case kPicUnread: return {"mail-unread"};
    case kPicRead: return {"mail-read"};
    case kPicSent: return {"mail-sent"};
    case kPicUnsent: return {"mail-outbox", "network-transmit"};
    case kPicDraft: return {"text-x-generic"};
    case kPicDeleted: return {"edit-delete"};
    case kPicPhraseRoot: return {"accessories-dictionary", "x-office-document-template"};
    case kPicPhraseGroup: return {"folder"};
    case kPicPhrase: return {"x-office-document"};
    case kPicBook: return {"x-office-address-book"};
    case kPicStorageSim: return {"sim-card"};
    case kPicStoragePhone: return {"phone"};
    case kPicStorageContacts: return {"system-users"};
    case kPicStorageGroups: return {"internet-group-chat"};
    case kPicContact: return {"avatar-default"};
    default: return {};
    }
}

constexpr std::array<std::pair<std::string_view, std::array<const char *, 2>>, 19> kCommands{{
    {"connect", {"network-transmit-receive", "network-wired"}},
    {"disconnect", {"network-offline", "process-stop"}},
    {"download", {"mail-send-receive", "go-down"}},
    {"new", {"mail-message-new", "document-new"}},
    {"edit", {"document-properties", "accessories-text-editor"}},
    {"send", {"mail-forward", nullptr}},
    {"resend", {"view-refresh", nullptr}},
    {"reply", {"mail-reply-sender", nullptr}},
    {"find", {"edit-find", nullptr}},
    {"print", {"document-print", nullptr}},
    {"settings", {"preferences-system", "preferences-desktop"}},
    {"help", {"help-browser", nullptr}},
    {"open", {"document-open", nullptr}},
    {"save", {"document-save", nullptr}},
    {"flash", {"go-up", nullptr}},
    {"group", {"folder-new", nullptr}},
    {"box", {"internet-mail", nullptr}},
    {"contact", {"x-office-address-book", nullptr}},
    {"phrase", {"x-office-document", nullptr}},
}};

// ---- our own drawings, 16 x 16 ----

QPixmap canvas()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

void envelope(QPainter &p, const QColor &paper, bool open)
{
    const QColor line(70, 70, 90);
    p.setPen(QPen(line, 1));
    p.setBrush(paper);
    if (open) {
        // The flap stands up behind a sheet.
        QPainterPath flap;
        flap.moveTo(1.5, 7.5);
        flap.lineTo(8, 2.5);
        flap.lineTo(14.5, 7.5);
        p.drawPath(flap);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 4.5, 7, 6));
        p.setBrush(paper);
    }
    p.drawRect(QRectF(1.5, 7.5 - (open ? 0 : 4), 13, open ? 7 : 11));
    QPainterPath v;
    const qreal top = open ? 7.5 : 3.5;
    v.moveTo(1.5, top);
    v.lineTo(8, open ? 12 : 9.5);
    v.lineTo(14.5, top);
    p.setBrush(Qt::NoBrush);
    p.drawPath(v);
}

QIcon drawn(int index)
{
    QPixmap pm = canvas();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case kPicUnread:
    case kPicInbox:
        envelope(p, QColor(250, 220, 90), false);
        if (index == kPicUnread) { // a mark for "new"
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(40, 110, 220));
            p.drawEllipse(QRectF(10.5, 0.5, 5, 5));
        }
        break;
    case kPicRead:
        envelope(p, QColor(235, 235, 225), true);
        break;
    case kPicSent:
    case kPicSentBox: {
        envelope(p, QColor(235, 235, 225), false);
        // An arrow leaving to the right.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 150, 60));
        QPainterPath arrow;
        arrow.moveTo(8, 9);
        arrow.lineTo(12, 9);
        arrow.lineTo(12, 6.5);
        arrow.lineTo(16, 11);
        arrow.lineTo(12, 15.5);
        arrow.lineTo(12, 13);
        arrow.lineTo(8, 13);
        arrow.closeSubpath();
        p.drawPath(arrow);
        break;
    }
    case kPicPhoneRoot:
    case kPicStoragePhone: {
        p.setPen(QPen(QColor(40, 40, 50), 1));
        p.setBrush(QColor(90, 95, 110));
        p.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 1.5, 1.5);
        p.setBrush(QColor(170, 220, 240));
        p.drawRect(QRectF(5.5, 2.5, 5, 5));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 220, 230));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c)
                p.drawRect(QRectF(6 + c * 2.5, 9 + r * 2, 1.5, 1.2));
        break;
    }
    case kPicContact: {
        // One person: head and shoulders.
        p.setPen(QPen(QColor(60, 70, 110), 1));
        p.setBrush(QColor(120, 150, 210));
        p.drawEllipse(QRectF(5, 1.5, 6, 6));
        QPainterPath body;
        body.moveTo(2.5, 15);
        body.cubicTo(2.5, 9, 13.5, 9, 13.5, 15);
        body.closeSubpath();
        p.drawPath(body);
        break;
    }
    case kPicStorageSim: {
        QPainterPath card;
        card.moveTo(3.5, 1.5);
        card.lineTo(10, 1.5);
        card.lineTo(12.5, 4);
        card.lineTo(12.5, 14.5);
        card.lineTo(3.5, 14.5);
        card.closeSubpath();
        p.setPen(QPen(QColor(60, 90, 60), 1));
        p.setBrush(QColor(120, 190, 120));
        p.drawPath(card);
        p.setBrush(QColor(230, 200, 90));
        p.setPen(QPen(QColor(150, 120, 40), 1));
        p.drawRect(QRectF(5.5, 7.5, 5, 5));
        break;
    }
    default: {
        // A plain page with a folded corner: the last resort, still better than nothing.
        QPainterPath page;
        page.moveTo(3.5, 1.5);
        page.lineTo(10, 1.5);
        page.lineTo(12.5, 4);
        page.lineTo(12.5, 14.5);
        page.lineTo(3.5, 14.5);
        page.closeSubpath();
        p.setPen(QPen(QColor(90, 90, 100), 1));
        p.setBrush(Qt::white);
        p.drawPath(page);
        break;
    }
    }
    p.end();
    return QIcon(pm);
}

QIcon fromNames(const QStringList &names, int ownIndex)
{
    useIconTheme();
    for (const QString &n : names)
        if (QIcon::hasThemeIcon(n))
            return QIcon::fromTheme(n);
    return drawn(ownIndex);
}

} // namespace

bool useIconTheme()
{
    static std::once_flag once;
    static bool found = false;
    std::call_once(once, [] {
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString &dir : {QStringLiteral("/usr/share/icons"), QStringLiteral("/usr/local/share/icons")})
            if (!paths.contains(dir) && QFileInfo(dir).isDir())
                paths << dir;
        QIcon::setThemeSearchPaths(paths);
        for (const QString &dir : paths)
            if (QFileInfo::exists(dir + "/" + kIconTheme + "/index.theme")) {
                found = true;
                break;
            }
        if (found) {
            QIcon::setThemeName(QString::fromLatin1(kIconTheme));
            QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
        }
    });
    return found;
}

QStringList themeNames(int index) { return pictureNames(index); }

QStringList commandThemeNames(std::string_view name)
{
    for (const auto &[command, names] : kCommands)
        if (command == name) {
            QStringList out;
            for (const char *n : names)
                if (n)
                    out << QString::fromLatin1(n);
            return out;
        }
    return {};
}

QIcon picture(int index)
{
    if (index < 0 || index >= kPictureCount)
        return {};
    return fromNames(pictureNames(index), index);
}

QList<QIcon> pictureList()
{
    QList<QIcon> out;
    for (int i = 0; i < kPictureCount; ++i)
        out << picture(i);
    return out;
}

QIcon commandIcon(std::string_view name)
{
    const QStringList names = commandThemeNames(name);
    if (names.isEmpty())
        return {};
    return fromNames(names, -1);
}

} // namespace content
