// Scenario files of the simulated handset (JSON). Every key is checked: an unknown key or a value
// of the wrong kind or range is a ScenarioError naming its path, so that a typo in a test's
// scenario fails loudly instead of silently giving the defaults.

#include "handset_sim.h"
#include "sim_charset.h"
#include "sim_pdu.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <initializer_list>
#include <sstream>

namespace handsetsim {

namespace {

using Json = nlohmann::ordered_json;

[[noreturn]] void bad(const std::string &path, const std::string &why) {
    throw ScenarioError(path + ": " + why);
}

void checkKeys(const Json &j, const std::string &path, std::initializer_list<const char *> allowed) {
    if (!j.is_object())
        bad(path, "must be an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (const char *a : allowed)
            known = known || it.key() == a;
        if (!known)
            bad(path + "." + it.key(), "unknown key");
    }
}

void getString(const Json &j, const char *key, std::string &out, const std::string &path) {
    if (!j.contains(key))
        return;
    if (!j[key].is_string())
        bad(path + "." + key, "must be a string");
    out = j[key].get<std::string>();
}

void getBool(const Json &j, const char *key, bool &out, const std::string &path) {
    if (!j.contains(key))
        return;
    if (!j[key].is_boolean())
        bad(path + "." + key, "must be true or false");
    out = j[key].get<bool>();
}

void getInt(const Json &j, const char *key, int &out, const std::string &path, long lo, long hi) {
    if (!j.contains(key))
        return;
    if (!j[key].is_number_integer())
        bad(path + "." + key, "must be an integer");
    const long v = j[key].get<long>();
    if (v < lo || v > hi)
        bad(path + "." + key, "must lie in " + std::to_string(lo) + ".." + std::to_string(hi));
    out = static_cast<int>(v);
}

template <typename E> struct EnumName {
    const char *name;
    E value;
};

template <typename E, size_t N>
void getEnum(const Json &j, const char *key, E &out, const std::string &path, const EnumName<E> (&names)[N]) {
    if (!j.contains(key))
        return;
    std::string s;
    getString(j, key, s, path);
    for (const auto &n : names)
        if (s == n.name) {
            out = n.value;
            return;
        }
    std::string list;
    for (const auto &n : names)
        list += (list.empty() ? "" : ", ") + std::string(n.name);
    bad(path + "." + key, "must be one of " + list);
}

constexpr EnumName<GmmMode> kGmm[] = {
    {"like_cgmm", GmmMode::LikeCgmm}, {"own", GmmMode::Own}, {"error", GmmMode::Error}};
constexpr EnumName<Layout> kLayout[] = {{"blank", Layout::Blank}, {"compact", Layout::Compact}};
constexpr EnumName<PromptStyle> kPrompt[] = {{"crlf", PromptStyle::CrLf}, {"bare", PromptStyle::Bare}};
constexpr EnumName<EmptyRange> kEmpty[] = {{"ok", EmptyRange::Ok}, {"not_found", EmptyRange::NotFound}};
constexpr EnumName<CpbrTestShape> kCpbr[] = {
    {"standard", CpbrTestShape::Standard}, {"no_paren", CpbrTestShape::NoParen},
    {"empty", CpbrTestShape::Empty},       {"single", CpbrTestShape::Single},
    {"extra", CpbrTestShape::Extra},       {"after_ok", CpbrTestShape::AfterOk}};
constexpr EnumName<CpmsTestShape> kCpms[] = {{"standard", CpmsTestShape::Standard},
                                             {"nested", CpmsTestShape::Nested},
                                             {"no_paren", CpmsTestShape::NoParen},
                                             {"empty", CpmsTestShape::Empty}};
constexpr EnumName<ScaEncoding> kSca[] = {{"text", ScaEncoding::Text},
                                          {"ucs2", ScaEncoding::Ucs2},
                                          {"hex", ScaEncoding::Hex},
                                          {"charset", ScaEncoding::Charset}};
constexpr EnumName<When> kWhen[] = {{"now", When::Now},
                                    {"before_echo", When::BeforeEcho},
                                    {"before_reply", When::BeforeReply},
                                    {"after_reply", When::AfterReply}};
constexpr EnumName<DropMode> kDrop[] = {
    {"none", DropMode::None}, {"hangup", DropMode::Hangup}, {"mute", DropMode::Mute}};

std::vector<std::string> getStrings(const Json &j, const std::string &path) {
    if (!j.is_array())
        bad(path, "must be an array of strings");
    std::vector<std::string> out;
    for (const auto &v : j) {
        if (!v.is_string())
            bad(path, "must be an array of strings");
        out.push_back(v.get<std::string>());
    }
    return out;
}

// Raw bytes given as "hex": "001B7F" (or as a string with "bytes"/"reply"/"raw").
std::string hexBytes(const Json &j, const char *key, const std::string &path) {
    std::string hex;
    getString(j, key, hex, path);
    std::vector<uint8_t> bytes;
    if (!fromHex(hex, bytes))
        bad(path + "." + key, "must be hex digits in pairs");
    return std::string(bytes.begin(), bytes.end());
}

void parseIdentity(const Json &j, Identity &id, const std::string &path) {
    checkKeys(j, path, {"manufacturer", "model", "gmm", "gmm_mode", "revision", "imei", "imsi", "numbers"});
    getString(j, "manufacturer", id.manufacturer, path);
    getString(j, "model", id.model, path);
    getString(j, "gmm", id.gmm, path);
    getEnum(j, "gmm_mode", id.gmmMode, path, kGmm);
    getString(j, "revision", id.revision, path);
    getString(j, "imei", id.imei, path);
    getString(j, "imsi", id.imsi, path);
    if (j.contains("numbers")) {
        if (!j["numbers"].is_array())
            bad(path + ".numbers", "must be an array");
        id.ownNumbers.clear();
        for (size_t i = 0; i < j["numbers"].size(); ++i) {
            const std::string p = path + ".numbers[" + std::to_string(i) + "]";
            const Json &n = j["numbers"][i];
            checkKeys(n, p, {"alpha", "number", "type"});
            OwnNumber o;
            getString(n, "alpha", o.alpha, p);
            getString(n, "number", o.number, p);
            o.type = !o.number.empty() && o.number[0] == '+' ? 145 : 129;
            getInt(n, "type", o.type, p, 128, 255);
            id.ownNumbers.push_back(o);
        }
    }
}

void parsePhonebooks(const Json &j, std::vector<PhonebookStorage> &out, const std::string &path) {
    if (!j.is_object())
        bad(path, "must be an object of storages");
    out.clear();
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string p = path + "." + it.key();
        const Json &s = it.value();
        checkKeys(s, p, {"first", "last", "number_length", "text_length", "writable", "entries"});
        PhonebookStorage pb;
        pb.name = it.key();
        // Up to the absurd ranges some handsets announce ("(1-2000000000)").
        getInt(s, "first", pb.first, p, 0, 2000000000);
        getInt(s, "last", pb.last, p, 0, 2000000000);
        getInt(s, "number_length", pb.numberLength, p, 0, 200);
        getInt(s, "text_length", pb.textLength, p, 0, 500);
        getBool(s, "writable", pb.writable, p);
        if (s.contains("entries")) {
            if (!s["entries"].is_array())
                bad(p + ".entries", "must be an array");
            for (size_t i = 0; i < s["entries"].size(); ++i) {
                const std::string ep = p + ".entries[" + std::to_string(i) + "]";
                const Json &e = s["entries"][i];
                checkKeys(e, ep, {"index", "number", "type", "text"});
                PhonebookEntry entry;
                if (!e.contains("index"))
                    bad(ep + ".index", "missing");
                getInt(e, "index", entry.index, ep, pb.first, pb.last);
                getString(e, "number", entry.number, ep);
                entry.type = !entry.number.empty() && entry.number[0] == '+' ? 145 : 129;
                getInt(e, "type", entry.type, ep, 0, 255);
                getString(e, "text", entry.text, ep);
                if (pb.entries.count(entry.index))
                    bad(ep + ".index", "used twice");
                pb.entries[entry.index] = entry;
            }
        }
        out.push_back(std::move(pb));
    }
}

std::string messagePdu(const Json &m, const std::string &p) {
    const int given = m.contains("pdu") + m.contains("tpdu") + m.contains("deliver") + m.contains("submit");
    if (given != 1)
        bad(p, "needs exactly one of pdu, tpdu, deliver, submit");
    try {
        if (m.contains("deliver")) {
            const Json &d = m["deliver"];
            const std::string dp = p + ".deliver";
            checkKeys(d, dp, {"from", "text", "time", "smsc"});
            std::string from, text, time = "05/03/17,14:30:00+32", smsc;
            getString(d, "from", from, dp);
            getString(d, "text", text, dp);
            getString(d, "time", time, dp);
            getString(d, "smsc", smsc, dp);
            return encodeDeliverPdu(from, text, time, smsc);
        }
        if (m.contains("submit")) {
            const Json &d = m["submit"];
            const std::string dp = p + ".submit";
            checkKeys(d, dp, {"to", "text", "smsc"});
            std::string to, text, smsc;
            getString(d, "to", to, dp);
            getString(d, "text", text, dp);
            getString(d, "smsc", smsc, dp);
            return encodeSubmitPdu(to, text, 0, smsc);
        }
    } catch (const std::invalid_argument &e) {
        bad(p, e.what());
    }
    std::string hex;
    std::vector<uint8_t> bytes;
    if (m.contains("tpdu")) {
        getString(m, "tpdu", hex, p);
        if (!fromHex(hex, bytes))
            bad(p + ".tpdu", "must be hex digits in pairs");
        return "00" + hex;
    }
    getString(m, "pdu", hex, p);
    if (!fromHex(hex, bytes) || pdu::scFieldLength(bytes) < 0)
        bad(p + ".pdu", "must be hex digits in pairs, starting with a service-centre field");
    return hex;
}

void parseSms(const Json &j, std::vector<SmsStorage> &out, const std::string &path) {
    if (!j.is_object())
        bad(path, "must be an object of storages");
    out.clear();
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string p = path + "." + it.key();
        const Json &s = it.value();
        checkKeys(s, p, {"capacity", "messages"});
        SmsStorage st;
        st.name = it.key();
        getInt(s, "capacity", st.capacity, p, 0, 999999999); // as absurd as handsets announce
        if (s.contains("messages")) {
            if (!s["messages"].is_array())
                bad(p + ".messages", "must be an array");
            for (size_t i = 0; i < s["messages"].size(); ++i) {
                const std::string mp = p + ".messages[" + std::to_string(i) + "]";
                const Json &m = s["messages"][i];
                checkKeys(m, mp, {"index", "stat", "pdu", "tpdu", "deliver", "submit"});
                SmsMessage msg;
                if (!m.contains("index"))
                    bad(mp + ".index", "missing");
                getInt(m, "index", msg.index, mp, 1, st.capacity);
                msg.stat = m.contains("submit") ? 2 : 1;
                getInt(m, "stat", msg.stat, mp, 0, 3);
                msg.pdu = messagePdu(m, mp);
                if (st.messages.count(msg.index))
                    bad(mp + ".index", "used twice");
                st.messages[msg.index] = msg;
            }
        }
        out.push_back(std::move(st));
    }
}

void parseProfile(const Json &j, Profile &pr, const std::string &path) {
    checkKeys(j, path, {"layout",          "bare_cr",          "error_text",      "double_echo",
                        "echo_cr_cr_lf",   "echo_pdu",         "prompt",          "identity_prefix",
                        "empty_range",     "pb_text_unquoted", "pb_ucs2_as_hex8", "pb_extra_fields",
                        "pb_index_offset", "cpbr_test",        "cpbs_counts",     "list_length_delta",
                        "cmgl_no_alpha",   "cmgr_no_stat",     "pdu_same_line",   "pdu_trailing_quote",
                        "cmgl_marks_read", "cmgl_fails",       "cmgr_empty_ok",   "cmgd_empty_error",
                        "cpms_test",       "cpms_extra",       "sca_encoding",    "sca_quotes",
                        "sca_plus",        "bare_lf",          "no_leading_eol", "pb_intl_without_plus"});
    getEnum(j, "layout", pr.layout, path, kLayout);
    getBool(j, "bare_cr", pr.bareCr, path);
    getBool(j, "bare_lf", pr.bareLf, path);
    getBool(j, "no_leading_eol", pr.noLeadingEol, path);
    getString(j, "error_text", pr.errorText, path);
    getBool(j, "double_echo", pr.doubleEcho, path);
    getBool(j, "echo_cr_cr_lf", pr.echoCrCrLf, path);
    getBool(j, "echo_pdu", pr.echoPdu, path);
    getEnum(j, "prompt", pr.prompt, path, kPrompt);
    getBool(j, "identity_prefix", pr.identityPrefix, path);
    getEnum(j, "empty_range", pr.emptyRange, path, kEmpty);
    getBool(j, "pb_text_unquoted", pr.pbTextUnquoted, path);
    getBool(j, "pb_ucs2_as_hex8", pr.pbUcs2AsHex8, path);
    getString(j, "pb_extra_fields", pr.pbExtraFields, path);
    getInt(j, "pb_index_offset", pr.pbIndexOffset, path, -1000, 1000);
    getBool(j, "pb_intl_without_plus", pr.pbIntlWithoutPlus, path);
    getEnum(j, "cpbr_test", pr.cpbrTest, path, kCpbr);
    getBool(j, "cpbs_counts", pr.cpbsCounts, path);
    getInt(j, "list_length_delta", pr.listLengthDelta, path, -200, 200);
    getBool(j, "cmgl_no_alpha", pr.cmglNoAlpha, path);
    getBool(j, "cmgr_no_stat", pr.cmgrNoStat, path);
    getBool(j, "pdu_same_line", pr.pduSameLine, path);
    getBool(j, "pdu_trailing_quote", pr.pduTrailingQuote, path);
    getBool(j, "cmgl_marks_read", pr.cmglMarksRead, path);
    getBool(j, "cmgl_fails", pr.cmglFails, path);
    getBool(j, "cmgr_empty_ok", pr.cmgrEmptyOk, path);
    getBool(j, "cmgd_empty_error", pr.cmgdEmptyError, path);
    getEnum(j, "cpms_test", pr.cpmsTest, path, kCpms);
    if (j.contains("cpms_extra"))
        pr.cpmsExtra = getStrings(j["cpms_extra"], path + ".cpms_extra");
    getEnum(j, "sca_encoding", pr.scaEncoding, path, kSca);
    getBool(j, "sca_quotes", pr.scaQuotes, path);
    getBool(j, "sca_plus", pr.scaPlus, path);
}

void parseFaults(const Json &j, Faults &f, const std::string &path) {
    checkKeys(j, path,
              {"reply_delay_ms", "silent", "bytewise", "byte_gap_ms", "throttle_baud", "send_error", "send_error_at", "send_error_code",
               "first_reply_delay_ms", "first_echo_late", "open_greeting"});
    getInt(j, "reply_delay_ms", f.replyDelayMs, path, 0, 600000);
    getInt(j, "first_reply_delay_ms", f.firstReplyDelayMs, path, 0, 600000);
    getBool(j, "first_echo_late", f.firstEchoLate, path);
    getString(j, "open_greeting", f.openGreeting, path);
    getBool(j, "silent", f.silent, path);
    getBool(j, "bytewise", f.bytewise, path);
    getInt(j, "byte_gap_ms", f.byteGapMs, path, 0, 60000);
    getInt(j, "throttle_baud", f.throttleBaud, path, 0, 10000000);
    getInt(j, "send_error", f.sendError, path, 0, 511);
    getInt(j, "send_error_at", f.sendErrorAt, path, 0, 1000000);
    getInt(j, "send_error_code", f.sendErrorCode, path, 0, 511);
}

// `keyed`: the command is the object key (the {command: reply} form); else the entry names it.
CannedReply parseCanned(const Json &v, const std::string &command, const std::string &p, bool keyed) {
    CannedReply c;
    c.command = command;
    if (v.is_string()) {
        c.reply = v.get<std::string>();
        return c;
    }
    checkKeys(v, p, {"command", "reply", "hex", "delay_ms", "times", "drop", "restore_after_ms"});
    // An empty command is the bare "AT"; in an array the key itself must be there.
    if (!keyed && !v.contains("command"))
        bad(p + ".command", "missing");
    getString(v, "command", c.command, p);
    if (v.contains("reply") && v.contains("hex"))
        bad(p, "give reply or hex, not both");
    getString(v, "reply", c.reply, p);
    if (v.contains("hex"))
        c.reply = hexBytes(v, "hex", p);
    getInt(v, "delay_ms", c.delayMs, p, -1, 600000);
    getInt(v, "times", c.times, p, -1, 1000000);
    getEnum(v, "drop", c.drop, p, kDrop);
    getInt(v, "restore_after_ms", c.restoreAfterMs, p, -1, 600000);
    return c;
}

Injection parseInjection(const Json &v, const std::string &p) {
    checkKeys(v, p, {"text", "raw", "hex", "when", "on", "repeat"});
    Injection inj;
    const int given = v.contains("text") + v.contains("raw") + v.contains("hex");
    if (given != 1)
        bad(p, "needs exactly one of text, raw, hex");
    if (v.contains("text")) {
        getString(v, "text", inj.bytes, p);
    } else if (v.contains("raw")) {
        getString(v, "raw", inj.bytes, p);
        inj.frame = false;
    } else {
        inj.bytes = hexBytes(v, "hex", p);
        inj.frame = false;
    }
    getEnum(v, "when", inj.when, p, kWhen);
    getString(v, "on", inj.onCommand, p);
    getBool(v, "repeat", inj.repeat, p);
    return inj;
}

} // namespace

Scenario defaultScenario() {
    return Scenario{};
}

Scenario parseScenario(const std::string &jsonText) {
    Json j;
    try {
        j = Json::parse(jsonText);
    } catch (const Json::exception &e) {
        throw ScenarioError(std::string("scenario is not valid JSON: ") + e.what());
    }
    const std::string root = "scenario";
    checkKeys(j, root,
              {"identity", "battery", "signal", "clock", "clock_runs", "service_centre", "charsets",
               "charset", "echo", "cmee", "cmgf", "phonebooks", "sms", "sms_mem", "profile", "faults",
               "canned", "unsolicited", "irda"});
    Scenario s = defaultScenario();
    if (j.contains("identity"))
        parseIdentity(j["identity"], s.identity, root + ".identity");
    if (j.contains("battery")) {
        checkKeys(j["battery"], root + ".battery", {"status", "level"});
        getInt(j["battery"], "status", s.status.batteryStatus, root + ".battery", 0, 5);
        getInt(j["battery"], "level", s.status.batteryLevel, root + ".battery", 0, 100);
    }
    if (j.contains("signal")) {
        checkKeys(j["signal"], root + ".signal", {"rssi", "ber"});
        getInt(j["signal"], "rssi", s.status.rssi, root + ".signal", 0, 99);
        getInt(j["signal"], "ber", s.status.ber, root + ".signal", 0, 99);
    }
    getString(j, "clock", s.status.clock, root);
    int f[7];
    if (!pdu::parseTimestamp(s.status.clock, f))
        bad(root + ".clock", "must read yy/MM/dd,hh:mm:ss with an optional zone such as +32");
    getBool(j, "clock_runs", s.status.clockRuns, root);
    if (j.contains("service_centre")) {
        const Json &c = j["service_centre"];
        const std::string p = root + ".service_centre";
        if (c.is_string()) {
            s.serviceCentre.number = c.get<std::string>();
            s.serviceCentre.type =
                !s.serviceCentre.number.empty() && s.serviceCentre.number[0] == '+' ? 145 : 129;
        } else {
            checkKeys(c, p, {"number", "type"});
            getString(c, "number", s.serviceCentre.number, p);
            s.serviceCentre.type =
                !s.serviceCentre.number.empty() && s.serviceCentre.number[0] == '+' ? 145 : 129;
            getInt(c, "type", s.serviceCentre.type, p, 128, 255);
        }
    }
    if (j.contains("charsets"))
        s.charsets = getStrings(j["charsets"], root + ".charsets");
    getString(j, "charset", s.charset, root);
    cs::Charset c;
    if (!cs::charsetByName(s.charset, c))
        bad(root + ".charset", "must be GSM, IRA, UCS2, UTF-8 or 8859-1");
    getBool(j, "echo", s.echo, root);
    getInt(j, "cmee", s.cmee, root, 0, 2);
    getInt(j, "cmgf", s.cmgf, root, 0, 1);
    if (j.contains("phonebooks"))
        parsePhonebooks(j["phonebooks"], s.phonebooks, root + ".phonebooks");
    if (j.contains("sms"))
        parseSms(j["sms"], s.smsStorages, root + ".sms");
    if (j.contains("sms_mem")) {
        s.smsMem = getStrings(j["sms_mem"], root + ".sms_mem");
        if (s.smsMem.empty() || s.smsMem.size() > 3)
            bad(root + ".sms_mem", "must name one to three storages");
        while (s.smsMem.size() < 3)
            s.smsMem.push_back(s.smsMem.back());
    }
    for (const auto &m : s.smsMem) {
        bool found = false;
        for (const auto &st : s.smsStorages)
            found = found || st.name == m;
        if (!found && !s.smsStorages.empty())
            bad(root + ".sms_mem", "names no storage of sms: " + m);
    }
    if (j.contains("profile"))
        parseProfile(j["profile"], s.profile, root + ".profile");
    if (j.contains("faults"))
        parseFaults(j["faults"], s.faults, root + ".faults");
    if (j.contains("canned")) {
        const Json &c2 = j["canned"];
        const std::string p = root + ".canned";
        if (c2.is_object()) {
            for (auto it = c2.begin(); it != c2.end(); ++it)
                s.canned.push_back(parseCanned(it.value(), it.key(), p + "." + it.key(), true));
        } else if (c2.is_array()) {
            for (size_t i = 0; i < c2.size(); ++i) {
                if (!c2[i].is_object())
                    bad(p + "[" + std::to_string(i) + "]", "must be an object with a command");
                s.canned.push_back(parseCanned(c2[i], "", p + "[" + std::to_string(i) + "]", false));
            }
        } else {
            bad(p, "must be an object (command -> reply) or an array");
        }
    }
    if (j.contains("unsolicited")) {
        const Json &u = j["unsolicited"];
        if (!u.is_array())
            bad(root + ".unsolicited", "must be an array");
        for (size_t i = 0; i < u.size(); ++i)
            s.injections.push_back(parseInjection(u[i], root + ".unsolicited[" + std::to_string(i) + "]"));
    }
    if (j.contains("irda")) {
        const Json &ir = j["irda"];
        const std::string p = root + ".irda";
        checkKeys(ir, p, {"enabled", "id", "nickname", "mtu", "dir"});
        s.irda.enabled = true;
        getBool(ir, "enabled", s.irda.enabled, p);
        if (ir.contains("id")) {
            std::string hex;
            getString(ir, "id", hex, p);
            std::vector<uint8_t> b;
            if (hex.size() != 8 || !fromHex(hex, b))
                bad(p + ".id", "must be 8 hex digits");
            s.irda.deviceId = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                              static_cast<uint32_t>(b[2]) << 8 | b[3];
        }
        getString(ir, "nickname", s.irda.nickname, p);
        getInt(ir, "mtu", s.irda.mtu, p, 0, 2053);
        getString(ir, "dir", s.irda.dir, p);
    }
    return s;
}

Scenario loadScenario(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ScenarioError("cannot read scenario file " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    try {
        return parseScenario(ss.str());
    } catch (const ScenarioError &e) {
        throw ScenarioError(path + ": " + e.what());
    }
}

} // namespace handsetsim
