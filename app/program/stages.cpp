#include "content/sms_transfer.h"

#include "program/stages.h"

#include "content/contacts_view.h"
#include "content/qt/apply_menu.h"
#include "content/qt/contacts_qt.h"
#include "core/app_manage.h"
#include "core/comm_data.h"
#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "forms/frm_progress.h"
#include "platform/qt/qt_window_messages.h"

#include <QTreeWidget>

#include <cstring>

namespace program {

namespace {

// The worker's client of one phone-book interface, as the phone-book manager sees it.
class WorkerCardClient final : public content::CardClient {
public:
    explicit WorkerCardClient(core::TCommThread &worker) : clt_(worker) {}
    void SetItf(int32_t itfId, uint64_t connSerial) override { clt_.SetItf(itfId, connSerial); }
    core::TCardClt &client() { return clt_; }

private:
    core::TCardClt clt_;
};

core::TBaseClt *workerClient(content::TPhoneBookManage &pb, int32_t itf)
{
    auto *c = dynamic_cast<WorkerCardClient *>(pb.cardClient(itf));
    return c ? &c->client() : nullptr;
}

// The catalogue scan's notices, to the main window.
class ScanNotices final : public core::ScanObserver {
public:
    ScanNotices(platform::WindowMessages &messages, platform::WindowId window) : messages_(messages), window_(window) {}
    void notice(const std::string &text) override
    {
        messages_.send(window_, WM_PLUGIN_SCAN_INFO, 0, reinterpret_cast<intptr_t>(text.c_str()));
    }

private:
    platform::WindowMessages &messages_;
    platform::WindowId window_;
};

// A text up to its first zero byte, never past the field.
template <size_t N> std::string fieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

constexpr int64_t kMinuteMs = 60000;

} // namespace

Stages::Stages(core::TManage &manage, core::TdbMain &db, core::TdmCommData &commData,
               platform::QtWindowMessages &hub, core::Prompt &prompt, StagesSetup setup)
    : manage_(manage), db_(db), commData_(commData), hub_(hub), prompt_(prompt), setup_(std::move(setup))
{
}

Stages::~Stages()
{
    // The views and managers point at the window's controls and the worker's clients: gone first.
    phraseView_.reset();
    smsView_.reset();
    smsTransfer_.reset();
    if (worker_)
        worker_->stop(std::chrono::seconds(5));
}

void Stages::StartUp(MainHost &main)
{
    if (worker_)
        return;
    main_ = &main;
    const platform::WindowId window = main.windowId();
    platform::Clock &clock = setup_.clock ? *setup_.clock : platform::SystemClock::instance();
    env_ = std::make_unique<content::ManageEnv>(manage_, clock);

    // 1-2: progress dialog, connection manager with automatic connection.
    comm_ = std::make_unique<core::TCommMng>(hub_, window,
                                             core::CommMngSetup{manage_.AppDir, db_.catalogue(), {}});
    {
        core::CommLock lock(*comm_);
        comm_->SetAutoConnect(true, kAutoConnectMs);
    }
    // 3: the catalogue, before the worker exists, so it is never written while the worker runs.
    ScanNotices notices(hub_, window);
    db_.ScanPlugins(manage_.AppDir, notices);
    comm_->setCatalogue(db_.catalogue());
    // 4-5: settings, and the connection settings to the manager.
    manage_.LoadSettings();
    core::SelectedPhone selected{};
    core::TManage::StrToBuf(selected.Man, sizeof selected.Man - 1, sizeof selected.Man, manage_.SelectPhone);
    comm_->SetParams(selected, manage_.ComType, manage_.ComPort, manage_.ComBaud);
    // 6: the worker, with the stored idle time-out in effect from the start.
    core::CommThreadSetup ws;
    ws.clock = setup_.clock;
    ws.pause = setup_.workerPause;
    ws.idleSleep = setup_.workerIdleSleep;
    worker_ = std::make_unique<core::TCommThread>(*comm_, commData_, hub_, window, ws);
    worker_->SetIdleTimeout(int64_t(manage_.KeepTime) * kMinuteMs);
    progress_ = std::make_unique<forms::TFrmProgress>(*worker_, commData_, hub_, manage_.LangMng(), prompt_,
                                                      main.widget());
    worker_->start();
    // 7.
    manage_.HistoryFile = manage_.IniDir() + "/SmsADRSFile.Vrk";
    manage_.HelpFile = "Tarnovel.chm";
    manage_.Connected = false;
    // 8: the three content managers over the window's controls.
    smsClt_ = std::make_unique<core::TSmsClt>(*worker_);
    sms_ = std::make_unique<content::TSMSManage>(
        *env_, db_.isOpen(core::DbTable::Smsinfo) ? &db_.table(core::DbTable::Smsinfo) : nullptr);
    smsTransfer_ = std::make_unique<content::TSmsTransfer>(*sms_, *env_, *progress_, *smsClt_);
    if (db_.loading(core::DbTable::Smsinfo))
        sms_->setOpener([this] { openMessages(); });
    else
        smsTransfer_->ClearPhoneBoxes();
    smsView_ = std::make_unique<content::SmsView>(*sms_, main.smsControls(), main.toolMenuMerge());
    const QList<QIcon> pictures = main.images();
    if (!pictures.isEmpty()) {
        smsView_->setImages(pictures);
        smsView_->buildTree(); // the view built its tree before it had the pictures
    }

    pb_ = std::make_unique<content::TPhoneBookManage>(*env_);
    pb_->Init([this](int32_t) { return std::make_unique<WorkerCardClient>(*worker_); },
              [this](uint16_t caps) { manage_.SetPbCaps(caps); });
    pb_->AttachTransfers(*progress_, workerClient(*pb_, content::kItfPhoneBook),
                         workerClient(*pb_, content::kItfContacts), workerClient(*pb_, content::kItfGroups));
    rebuildContactTree();
    contactMenusForNoSelection();

    phrases_ = std::make_unique<content::TPhraseMng>(db_, *env_);
    phraseView_ = std::make_unique<content::PhraseView>(*phrases_, main.phraseControls(), main.toolMenuMerge());
    phraseView_->setImages(pictures);
}

void Stages::openMessages()
{
    db_.finishLoad(core::DbTable::Smsinfo);
    sms_->attachTable(db_.isOpen(core::DbTable::Smsinfo) ? &db_.table(core::DbTable::Smsinfo) : nullptr);
    // Handset boxes are read from the handset again, never kept: copies a run that was killed
    // left on disk (the tables are saved as they change) go before anything lists them.
    smsTransfer_->ClearPhoneBoxes();
}

void Stages::MessagesLoaded()
{
    if (!sms_ || (sms_->opening() && !db_.loadRead(core::DbTable::Smsinfo)))
        return;
    sms_->OpenStore();
    // The box chosen now, which may not be the one the list first waited for.
    if (smsView_->StoreOpened() && main_)
        main_->messageTreeChanged();
}

void Stages::EmptyRecycleBox()
{
    if (!manage_.ClearTrashOnExit || !sms_)
        return;
    content::ArraySms doomed = sms_->Messages(content::kBoxRecycle);
    content::ArraySms hidden = sms_->Messages(content::kBoxHidden);
    doomed.insert(doomed.end(), hidden.begin(), hidden.end());
    if (doomed.empty())
        return;
    const core::TLangMng &lang = manage_.LangMng();
    if (manage_.DelQuestion &&
        manage_.ShowMessageBox(lang.translate("fMain_EmptyRecycleOnExit"), lang.translate("Application_Hite_title"),
                               core::kMbOkCancel | core::kMbIconQuestion) == core::kIdCancel)
        return;
    sms_->DeleteMessages(doomed);
}

void Stages::ShutDown()
{
    if (const platform::FileResult saved = manage_.SaveSettings(); !saved.ok)
        prompt_.show(saved.message, manage_.LangMng().translate("Application_Hite_title"),
                     core::kMbOk | core::kMbIconError);
    if (!worker_)
        return;
    EmptyRecycleBox();
    smsTransfer_->ClearPhoneBoxes();
    phrases_->Save();
    comm_->SetConnectMode(false);
}

bool Stages::StopWorker(std::chrono::steady_clock::time_point deadline)
{
    if (!worker_)
        return true;
    const bool ended = worker_->stop(deadline);
    // A worker stuck past its time still holds the lock: the connection is left to it then.
    if (ended) {
        core::CommLock lock(*comm_);
        comm_->Close();
    }
    return ended;
}

void Stages::SetConnected(bool connected)
{
    if (!worker_)
        return;
    manage_.Connected = connected;
    if (!connected) {
        manage_.PhoneMan.clear();
        manage_.PhoneModel.clear();
        manage_.PbCap8 = manage_.PbCap2 = manage_.PbCap4 = false;
        smsTransfer_->PhoneDisconnected();
        pb_->PhoneDisconnected();
        rebuildContactTree();
    } else {
        core::CommLock lock(*comm_);
        const uint64_t serial = comm_->currentSerial();
        smsClt_->SetItf(MS_ITF_SMS, serial);
        pb_->BindCardClients(serial);
        PhoneIdent ident{};
        if (comm_->GetPhoneInfo(ident) == 0) {
            manage_.PhoneMan = fieldText(ident.Man);
            manage_.PhoneModel = fieldText(ident.ModelA);
        } else {
            manage_.PhoneMan.clear();
            manage_.PhoneModel.clear();
        }
        manage_.SetPbCaps(static_cast<uint16_t>(comm_->capabilityBits()));
        rebuildContactTree();
    }
    refreshMenusForNoSelection();
}

void Stages::SetActiveGroup(int index)
{
    if (index < 0 || index > 255)
        return;
    manage_.ActiveGroup = static_cast<uint8_t>(index);
    if (!worker_ || !main_)
        return;
    switch (index) {
    case 0:
        smsView_->UpdateMenus(-1);
        main_->messageTreeChanged();
        break;
    case 1:
        contactMenusForNoSelection();
        main_->contactTreeChanged();
        break;
    case 2:
        phraseView_->BuildTree();
        main_->phraseTreeChanged();
        break;
    default:
        break;
    }
}

void Stages::UpdatePhoneInfo()
{
    if (!comm_)
        return;
    std::string man, type, port, baud;
    // 7 means the connection went before this message was handled: the parameters then read
    // empty, and copying them would wipe the user's settings.
    if (comm_->GetParams(man, type, port, baud) != 0)
        return;
    char buf[32];
    core::TManage::StrToBuf(buf, sizeof buf - 1, sizeof buf, man);
    manage_.SelectPhone = buf;
    manage_.SetComParams(type, port, baud);
}

void Stages::SetKeepTime(int32_t minutes)
{
    if (minutes < 0)
        minutes = 0;
    manage_.KeepTime = minutes;
    if (worker_ && worker_->IdleTimeout() != int64_t(minutes) * kMinuteMs)
        worker_->SetIdleTimeout(int64_t(minutes) * kMinuteMs);
}

void Stages::refreshMenusForNoSelection()
{
    if (manage_.ActiveGroup == 0)
        smsView_->UpdateMenus(-1);
    else if (manage_.ActiveGroup == 1)
        contactMenusForNoSelection();
}

void Stages::contactMenusForNoSelection()
{
    if (!main_)
        return;
    const ContactControls c = main_->contactControls();
    const int rows = c.ListView_cont ? c.ListView_cont->topLevelItemCount() : 0;
    content::applyContactMenus(*pb_, *env_, pb_->currentBook(), content::toInt(pb_->currentStorage()), rows, 0,
                               c.menus, c.toolBar);
}

void Stages::rebuildContactTree()
{
    if (!main_)
        return;
    const ContactControls c = main_->contactControls();
    if (c.TreeView_cont)
        content::fillHandsetNode(c.TreeView_cont, content::BuildHandsetNode(*env_));
}

} // namespace program
