// The commands a GSM terminal client sends before it touches phone books or messages: power level
// (+CFUN), SIM state (+CPIN), network and packet registration (+CREG, +CGREG, +COPS), activity
// (+CPAS), new-message indications (+CNMI), capabilities (+GCAP) and the command list (+CLAC).
// Without them a real client takes the handset for a broken modem and gives up. The handset is
// always on a network here; only its power level changes what it reports.

#include "sim_engine.h"

#include <string>

namespace handsetsim {

namespace {

// The network the handset is registered on, by +COPS format: long name, short name, numeric.
const char *const kOperator[3] = {"Simulated Network", "SIMNET", "00101"};

std::string quoted(const std::string &s) { return "\"" + s + "\""; }

} // namespace

const Engine::HandlerRow Engine::kStartupHandlers[] = {
    {"+CFUN", &Engine::cmdCfun},   {"+CPIN", &Engine::cmdCpin}, {"+CREG", &Engine::cmdCreg},
    {"+CGREG", &Engine::cmdCreg},  {"+COPS", &Engine::cmdCops}, {"+CPAS", &Engine::cmdCpas},
    {"+CNMI", &Engine::cmdCnmi},   {"+GCAP", &Engine::cmdGcap}, {"+CLAC", &Engine::cmdClac},
    {nullptr, nullptr},
};

// ATZ and AT&F: the power level stays, the rest comes back to its start value.
void Engine::resetStartup() {
    const int cfun = startup_.cfun;
    startup_ = StartupState{};
    startup_.cfun = cfun;
}

bool Engine::radioOn() const { return startup_.cfun == 1; }

// +CFUN: 0 minimum functionality, 1 full, 4 radio off (27.007 8.2); an optional reset flag.
Engine::Result Engine::cmdCfun(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Read:
        r.line("+CFUN: " + std::to_string(startup_.cfun));
        return ok();
    case Op::Test:
        r.line("+CFUN: (0,1,4),(0-1)");
        return ok();
    case Op::Set: {
        int fun = 0, rst = 0;
        if (intArg(p, 0, fun) != Arg::Ok || (fun != 0 && fun != 1 && fun != 4))
            return error();
        const Arg ra = intArg(p, 1, rst);
        if (ra == Arg::Bad || rst > 1 || p.size() > 2)
            return error();
        startup_.cfun = fun;
        return ok();
    }
    case Op::Exec:
        return error();
    }
    return error();
}

// +CPIN: the SIM needs no PIN; entering one anyway is accepted.
Engine::Result Engine::cmdCpin(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Read:
        r.line("+CPIN: READY");
        return ok();
    case Op::Test:
        return ok();
    case Op::Set:
        return p.empty() || p.size() > 2 ? error() : ok();
    case Op::Exec:
        return error();
    }
    return error();
}

// +CREG and +CGREG: registered on the home network (1) while the radio is on, else not searching
// (0). With <n> = 2 the location area and cell follow.
Engine::Result Engine::cmdCreg(const std::string &name, Op op, const Params &p, Reply &r) {
    int &n = name == "+CREG" ? startup_.cregN : startup_.cgregN;
    switch (op) {
    case Op::Read: {
        const int stat = radioOn() ? 1 : 0;
        std::string line = name + ": " + std::to_string(n) + "," + std::to_string(stat);
        if (n == 2 && stat == 1)
            line += ",\"00A1\",\"1F2E\"";
        r.line(line);
        return ok();
    }
    case Op::Test:
        r.line(name + ": (0-2)");
        return ok();
    case Op::Set: {
        int v = 0;
        if (intArg(p, 0, v) != Arg::Ok || v > 2 || p.size() > 1)
            return error();
        n = v;
        return ok();
    }
    case Op::Exec:
        return error();
    }
    return error();
}

// +COPS: automatic selection of the one network; +COPS=3,<format> chooses how +COPS? names it.
Engine::Result Engine::cmdCops(const std::string &, Op op, const Params &p, Reply &r) {
    switch (op) {
    case Op::Read:
        if (!radioOn()) {
            r.line("+COPS: 0");
            return ok();
        }
        r.line("+COPS: 0," + std::to_string(startup_.copsFormat) + "," + quoted(kOperator[startup_.copsFormat]));
        return ok();
    case Op::Test:
        r.line("+COPS: (2," + quoted(kOperator[0]) + "," + quoted(kOperator[1]) + "," + quoted(kOperator[2]) +
               "),,(0-4),(0-2)");
        return ok();
    case Op::Set: {
        int mode = 0, format = 0;
        if (intArg(p, 0, mode) != Arg::Ok || mode > 4 || p.size() > 3)
            return error();
        const Arg fa = intArg(p, 1, format);
        if (fa == Arg::Bad || format > 2)
            return error();
        if (mode == 1 || mode == 4) { // manual selection: only our network is there
            if (p.size() < 3 || !p[2].quoted)
                return error();
            const std::string &oper = p[2].v;
            const int f = fa == Arg::Ok ? format : 0;
            if (oper != kOperator[f])
                return mode == 4 ? ok() : cme(32); // 4 falls back to automatic
        }
        if (fa == Arg::Ok)
            startup_.copsFormat = format;
        return ok();
    }
    case Op::Exec:
        return error();
    }
    return error();
}

// +CPAS: ready (0).
Engine::Result Engine::cmdCpas(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test) {
        r.line("+CPAS: (0-5)");
        return ok();
    }
    if (op != Op::Exec)
        return error();
    r.line("+CPAS: 0");
    return ok();
}

// +CNMI=<mode>,<mt>,<bm>,<ds>,<bfr>: kept and shown; the handset sends no indications of its own
// (tests inject them).
Engine::Result Engine::cmdCnmi(const std::string &, Op op, const Params &p, Reply &r) {
    static const int kMax[5] = {2, 3, 3, 2, 1};
    switch (op) {
    case Op::Read: {
        std::string line = "+CNMI: ";
        for (size_t i = 0; i < 5; ++i)
            line += (i ? "," : "") + std::to_string(startup_.cnmi[i]);
        r.line(line);
        return ok();
    }
    case Op::Test:
        r.line("+CNMI: (0-2),(0-3),(0,2,3),(0-2),(0,1)");
        return ok();
    case Op::Set: {
        if (p.empty() || p.size() > 5)
            return error();
        int v[5];
        for (size_t i = 0; i < 5; ++i)
            v[i] = startup_.cnmi[i];
        for (size_t i = 0; i < p.size(); ++i) {
            const Arg a = intArg(p, i, v[i]);
            if (a == Arg::Bad || (a == Arg::Ok && v[i] > kMax[i]) || (i == 2 && v[i] == 1))
                return error();
        }
        for (size_t i = 0; i < 5; ++i)
            startup_.cnmi[i] = v[i];
        return ok();
    }
    case Op::Exec:
        return error();
    }
    return error();
}

// +GCAP: a GSM handset.
Engine::Result Engine::cmdGcap(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test)
        return ok();
    if (op != Op::Exec)
        return error();
    r.line("+GCAP: +CGSM");
    return ok();
}

// +CLAC: every command the handset knows, one a line.
Engine::Result Engine::cmdClac(const std::string &, Op op, const Params &, Reply &r) {
    if (op == Op::Test)
        return ok();
    if (op != Op::Exec)
        return error();
    for (const char *basic : {"ATE", "ATH", "ATI", "ATL", "ATM", "ATQ", "ATS", "ATV", "ATX", "ATZ", "AT&C",
                              "AT&D", "AT&F", "AT&K", "AT&V", "AT&W"})
        r.line(basic);
    for (size_t i = 0; i < kHandlerCount; ++i)
        r.line(std::string("AT") + kHandlers[i].name);
    for (const HandlerRow *row = kStartupHandlers; row->name; ++row)
        r.line(std::string("AT") + row->name);
    return ok();
}

} // namespace handsetsim
