#include "forms/fr_viewprint.h"

#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/qt/form_translate.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace forms {
namespace {

// Beyond this the preview is not worth its memory (a poster-sized page at a high resolution).
constexpr qint64 kMaxPreviewPixels = 16'000'000;

} // namespace

Tfr_viewprint::Tfr_viewprint(const core::TLangMng &lang, core::Prompt &prompt, QSize pagePixels, int dpi,
                             QWidget *parent)
    : DialogBase(parent), lang_(lang), prompt_(prompt)
{
    setObjectName("fr_viewprint");
    core::setFormFont(lang_, this);
    setWindowTitle(QString::fromStdString(lang_.translate("fr_viewprint_Caption")));

    Memo = new QPlainTextEdit(this);
    Memo->setObjectName("Memo");
    Memo->setReadOnly(true);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Image1 = new QLabel;
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll = new QScrollArea(this);
    scroll->setObjectName("ImageArea");
    scroll->setWidget(Image1);
    scroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);
    scroll->hide();

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(Memo);
    lay->addWidget(scroll);
    resize(640, 560);

    const int w = pagePixels.width() / 4, h = pagePixels.height() / 4;
    if (w > 0 && h > 0 && qint64(w) * h <= kMaxPreviewPixels) {
        page_ = QImage(w, h, QImage::Format_RGB32);
        if (!page_.isNull()) {
            page_.fill(Qt::white);
            // The image claims the printer's resolution, so fonts measure as on the printer; the
            // drawing is scaled by kScale and the page keeps its proportions.
            const int dpm = int(std::lround(dpi / 0.0254));
            page_.setDotsPerMeterX(dpm);
            page_.setDotsPerMeterY(dpm);
        }
    }
}

Tfr_viewprint::~Tfr_viewprint() = default;

void Tfr_viewprint::fitScreen()
{
    QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect avail = s->availableGeometry();
    // The window manager's frame, once it has framed the window; a title bar's worth before.
    QSize frame = frameGeometry().size() - size();
    if (frame.height() <= 0)
        frame = QSize(8, 40);
    const QSize most = avail.size() - frame;
    resize(std::min(width(), most.width()), std::min(height(), most.height()));
    QRect outer(frameGeometry().topLeft(), size() + frame);
    if (outer.bottom() > avail.bottom())
        outer.moveBottom(avail.bottom());
    if (outer.right() > avail.right())
        outer.moveRight(avail.right());
    if (outer.top() < avail.top())
        outer.moveTop(avail.top());
    if (outer.left() < avail.left())
        outer.moveLeft(avail.left());
    move(outer.topLeft());
}

void Tfr_viewprint::postShow()
{
    if (Memo->isHidden()) {
        if (page_.isNull()) {
            prompt_.show("Sorry, can not support preview", "", core::kMbOk);
        } else {
            Image1->setPixmap(QPixmap::fromImage(page_));
            Image1->resize(page_.size());
            scroll->show();
            // Wide enough for the page where the screen allows.
            resize(std::max(width(), page_.width() + 40), std::max(height(), page_.height() + 40));
        }
    }
    fitScreen();
    core::setFormFont(lang_, this);
}

} // namespace forms
