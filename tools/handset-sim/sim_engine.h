// sim_engine.h — the simulated handset's AT interpreter. It turns the bytes a client sends into the
// bytes the handset answers (through an OutputSink, each with a delay) and keeps the handset's
// contents. It does no I/O and takes no lock: HandsetSim serialises every call. Internal.

#pragma once

#include "handset_sim.h"
#include "sim_charset.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace handsetsim {

class OutputSink {
  public:
    virtual ~OutputSink() = default;
    // Queue bytes, to be written no earlier than `delayMs` from now and after everything queued before.
    virtual void emit(std::string bytes, int delayMs) = 0;
    // Drop the link once everything queued before has been written.
    virtual void drop(DropMode mode, int restoreAfterMs) = 0;
    // Hold back everything queued from now on (what was queued before still goes out).
    virtual void hold() {}
};

class Engine {
  public:
    explicit Engine(Scenario sc);

    // Bytes from the client.
    void feed(const char *data, size_t len, OutputSink &out);
    // An injection made now: When::Now goes out at once, the others wait for their command.
    void inject(const Injection &inj, OutputSink &out);
    // The scenario's When::Now injections, sent once when the link comes up.
    void startInjections(OutputSink &out);
    // A client opened the port: the next command finds the handset waking (Faults::firstReplyDelayMs).
    void wake() { waking_ = true; }

    ModemState state() const;
    Status status() const; // the clock as shown now
    void setStatus(const Status &s);

    // Contents and switches, read and changed by HandsetSim under its lock.
    Scenario sc;
    std::vector<std::string> commands;
    std::vector<SubmittedPdu> submitted;
    std::vector<std::string> diagnostics; // the last 256
    std::vector<std::string> freshNotes;  // diagnostics not yet copied to the transcript
    // The next command matching it (a canned reply's pattern) is carried out, then its answer is
    // held (HandsetSim::holdNextReply); "" when none is armed.
    std::string holdPattern;

  private:
    bool takeHold(const std::string &cmd); // cmd matches holdPattern: disarms it
    bool holdAfterText_ = false;            // the held command takes a text: hold after it

    struct Param {
        std::string v;
        bool quoted = false;
    };
    using Params = std::vector<Param>;
    enum class Op { Exec, Read, Test, Set };
    struct Result {
        enum Kind { Ok, Error, Cme, Cms, Prompt } kind = Ok;
        int code = 0;
    };
    struct Reply {
        std::vector<std::vector<std::string>> blocks; // one per command of the line
        std::vector<std::string> afterFinal;          // lines some handsets send after the OK
        void line(std::string s) { blocks.back().push_back(std::move(s)); }
    };
    using Handler = Result (Engine::*)(const std::string &name, Op op, const Params &p, Reply &r);
    struct HandlerRow {
        const char *name;
        Handler fn;
    };
    static const HandlerRow kHandlers[];
    static const size_t kHandlerCount;

    static Result ok() { return {}; }
    static Result error() { return {Result::Error, 0}; }
    static Result cme(int code) { return {Result::Cme, code}; }
    static Result cms(int code) { return {Result::Cms, code}; }

    // framing
    void lineDone(OutputSink &out);
    void pduByte(uint8_t c, OutputSink &out);
    void flushPduEcho(OutputSink &out);
    Result execute(const std::string &cmd, Reply &r);
    Result basic(const std::string &cmd, size_t &i, Reply &r);
    Result extended(const std::string &name, Op op, const std::string &args, Reply &r);
    std::string formatReply(const Reply &r, Result res) const;
    std::string finalText(Result res) const;
    std::string frameLine(const std::string &text) const;
    std::string lineEnd() const; // CR LF, or CR or LF alone (Profile::bareCr, bareLf)
    void fire(When when, const std::string &cmd, int delayMs, OutputSink &out);
    void reset(bool factory);
    void note(std::string text);

    // helpers
    static bool parseParams(const std::string &s, Params &out);
    enum class Arg { Absent, Ok, Bad };
    static Arg intArg(const Params &p, size_t i, int &v);
    PhonebookStorage *pbFind(const std::string &name);
    SmsStorage *smsFind(const std::string &name);
    std::string pbLine(const PhonebookEntry &e) const;
    std::string listedPdu(const SmsMessage &m, int &tpduLen) const;
    std::string scaShown() const;
    std::string clockNow() const;

    // commands
    Result cmdIdentity(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCnum(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCbc(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCsq(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCclk(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCscs(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmee(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpbs(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpbr(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpbw(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCsms(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmgf(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpms(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmgl(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmgr(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmgd(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmgw(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCmss(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCsca(const std::string &name, Op op, const Params &p, Reply &r);
    Result finishPdu(Reply &r);

    // start-up and network commands (sim_startup.cpp)
    static const HandlerRow kStartupHandlers[]; // ends with a null row
    void resetStartup();
    bool radioOn() const;
    Result cmdCfun(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpin(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCreg(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCops(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCpas(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdCnmi(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdGcap(const std::string &name, Op op, const Params &p, Reply &r);
    Result cmdClac(const std::string &name, Op op, const Params &p, Reply &r);
    struct StartupState {
        int cfun = 1;
        int cregN = 0;
        int cgregN = 0;
        int copsFormat = 0;
        int cnmi[5] = {0, 0, 0, 0, 0};
    } startup_;

    // V.250 state
    bool echo_ = true;
    bool verbose_ = true;
    bool quiet_ = false;
    int cmee_ = 1;
    int cmgf_ = 0;
    int csms_ = 0;
    cs::Charset charset_ = cs::Charset::Gsm;
    std::string pbSel_;
    std::array<std::string, 3> mem_;
    std::array<int, 32> sreg_{};
    int nextMr_ = 0;
    int clock_[7] = {};
    std::chrono::steady_clock::time_point clockSetAt_;

    // the command line being typed
    std::string line_;
    std::string raw_;
    bool overflow_ = false;
    bool waking_ = true;

    // after the "> " prompt
    bool awaiting_ = false;
    bool pduSend_ = false;
    int pduLen_ = 0;
    int pduStat_ = 2;
    std::string pduHex_;
    bool pduBad_ = false;
    std::string pduEcho_;
};

} // namespace handsetsim
