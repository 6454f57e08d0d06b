// The simulated handset as a GSM terminal client meets it: the program started as its README says,
// then the power, SIM and registration checks such a client makes before anything else, the
// identity, every phone-book entry and message, and a message stored and sent. None of it may
// answer ERROR. Then the start-up commands one by one.

#include "handset_sim.h"
#include "sim/sim_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using handsetsim::HandsetSim;
using simtest::Client;

namespace {

std::string sourceDir() {
    const char *d = std::getenv("SELVARK_SOURCE_DIR");
    return d ? d : ".";
}

bool endsOk(const std::string &reply) {
    return reply.size() >= 6 && reply.compare(reply.size() - 6, 6, "\r\nOK\r\n") == 0;
}

size_t count(const std::string &text, const std::string &part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// Writes a PDU after the prompt and returns the final reply.
std::string pduCommand(Client &c, const std::string &cmd, const std::string &pduHex) {
    c.send("AT" + cmd + "\r");
    const std::string prompt = c.readReply();
    EXPECT_NE(prompt.find("> "), std::string::npos) << cmd << ": " << prompt;
    c.send(pduHex + "\x1A");
    return c.readReply();
}

TEST(TerminalClient, StartUpIdentifyReadEverythingStoreAndSend) {
    handsetsim::SimProcess p({"--scenario", sourceDir() + "/tools/handset-sim/scenarios/default.json"});
    Client c(p.slavePath());

    // The opening a terminal client sends, in its order, before it trusts the device.
    const char *const startUp[] = {
        "",           "Z",          "E1",         "+CMEE=1",      "+CFUN?",      "+CFUN=1",
        "+CPIN?",     "I",          "+CGMI",      "+CGMM",        "+CGMR",       "+CGSN",
        "+CIMI",      "+GCAP",      "+CLAC",      "+CREG=2",      "+CREG?",      "+CGREG?",
        "+COPS=3,0",  "+COPS?",     "+CSQ",       "+CBC",         "+CPAS",       "+CSCS=?",
        "+CSCS=\"UCS2\"", "+CSMS?", "+CSMS=?",    "+CPMS=?",      "+CMGF=0",     "+CNMI=?",
        "+CNMI=2,1,0,0,0", "+CSCA?", "+CPBS=?",   "+CNUM",        "+CCLK?",
    };
    for (const char *cmd : startUp) {
        const std::string reply = c.at(cmd);
        EXPECT_TRUE(endsOk(reply)) << "AT" << cmd << " -> " << reply;
    }

    std::string ident = c.at("I");
    EXPECT_NE(ident.find("SIMULATED"), std::string::npos) << ident;
    EXPECT_NE(c.at("+CGSN").find("350000000000006"), std::string::npos);

    // Every phone-book entry of both storages (names in UCS2, as selected).
    std::string sm = c.at("+CPBS=\"SM\"");
    sm += c.at("+CPBR=?");
    sm += c.at("+CPBR=1,250");
    EXPECT_TRUE(endsOk(sm)) << sm;
    EXPECT_EQ(count(sm, "\r\n+CPBR: "), 4u) << sm; // the range line and three entries
    EXPECT_NE(sm.find("\"0041006C006900630065\""), std::string::npos) << sm; // "Alice"
    std::string me = c.at("+CPBS=\"ME\"");
    me += c.at("+CPBR=1,500");
    EXPECT_TRUE(endsOk(me)) << me;
    EXPECT_EQ(count(me, "\r\n+CPBR: "), 0u) << me;

    // Every message of both storages.
    std::string smsSm = c.at("+CPMS=\"SM\",\"SM\",\"SM\"");
    smsSm += c.at("+CMGL=4");
    EXPECT_TRUE(endsOk(smsSm)) << smsSm;
    EXPECT_EQ(count(smsSm, "\r\n+CMGL: "), 3u) << smsSm;
    std::string smsMe = c.at("+CPMS=\"ME\",\"ME\",\"ME\"");
    smsMe += c.at("+CMGL=4");
    EXPECT_TRUE(endsOk(smsMe)) << smsMe;
    EXPECT_EQ(count(smsMe, "\r\n+CMGL: "), 0u) << smsMe;

    // Store a message, then send one.
    const std::string pdu = handsetsim::encodeSubmitPdu("+8613800138000", "Hello from a client");
    const std::string len = std::to_string((pdu.size() - 2) / 2); // the service-centre octet not counted
    const std::string stored = pduCommand(c, "+CMGW=" + len + ",2", pdu);
    EXPECT_NE(stored.find("+CMGW: 1"), std::string::npos) << stored;
    EXPECT_TRUE(endsOk(stored)) << stored;
    const std::string sent = pduCommand(c, "+CMGS=" + len, pdu);
    EXPECT_NE(sent.find("+CMGS: "), std::string::npos) << sent;
    EXPECT_TRUE(endsOk(sent)) << sent;
    EXPECT_EQ(count(c.at("+CMGL=4"), "\r\n+CMGL: "), 1u) << "the stored message is listed";
}

struct Exchange {
    const char *cmd;
    const char *reply; // what follows the echo
};

TEST(TerminalClient, StartUpCommandsAnswerLikeAHandset) {
    HandsetSim sim;
    Client c(sim.start());
    ASSERT_TRUE(endsOk(c.at("E0")));
    const Exchange rows[] = {
        {"+CFUN?", "\r\n+CFUN: 1\r\n\r\nOK\r\n"},
        {"+CFUN=?", "\r\n+CFUN: (0,1,4),(0-1)\r\n\r\nOK\r\n"},
        {"+CPIN?", "\r\n+CPIN: READY\r\n\r\nOK\r\n"},
        {"+CREG?", "\r\n+CREG: 0,1\r\n\r\nOK\r\n"},
        {"+CREG=2", "\r\nOK\r\n"},
        {"+CREG?", "\r\n+CREG: 2,1,\"00A1\",\"1F2E\"\r\n\r\nOK\r\n"},
        {"+CGREG?", "\r\n+CGREG: 0,1\r\n\r\nOK\r\n"},
        {"+COPS?", "\r\n+COPS: 0,0,\"Simulated Network\"\r\n\r\nOK\r\n"},
        {"+COPS=3,2", "\r\nOK\r\n"},
        {"+COPS?", "\r\n+COPS: 0,2,\"00101\"\r\n\r\nOK\r\n"},
        {"+CNMI?", "\r\n+CNMI: 0,0,0,0,0\r\n\r\nOK\r\n"},
        {"+CNMI=2,1", "\r\nOK\r\n"},
        {"+CNMI?", "\r\n+CNMI: 2,1,0,0,0\r\n\r\nOK\r\n"},
        {"+CNMI=3,1", "\r\nERROR\r\n"},
        {"+CSMS?", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n"},
        {"+CSMS=?", "\r\n+CSMS: (0,1)\r\n\r\nOK\r\n"},
        {"+CPMS=?", "\r\n+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")\r\n\r\nOK\r\n"},
        // Radio off: still answers, no longer registered.
        {"+CFUN=4", "\r\nOK\r\n"},
        {"+CFUN?", "\r\n+CFUN: 4\r\n\r\nOK\r\n"},
        {"+CREG?", "\r\n+CREG: 2,0\r\n\r\nOK\r\n"},
        {"+COPS?", "\r\n+COPS: 0\r\n\r\nOK\r\n"},
        {"+CFUN=0", "\r\nOK\r\n"},
        {"+CFUN=1,1", "\r\nOK\r\n"},
        {"+CGREG?", "\r\n+CGREG: 0,1\r\n\r\nOK\r\n"},
        {"+CFUN=2", "\r\nERROR\r\n"},
        // Commands it does not know: a plain ERROR whatever +CMEE says.
        {"+CMEE=2", "\r\nOK\r\n"},
        {"+XYZZY", "\r\nERROR\r\n"},
        {"+CIND?", "\r\nERROR\r\n"},
    };
    for (const Exchange &e : rows)
        EXPECT_EQ(c.at(e.cmd), e.reply) << "AT" << e.cmd;

    const std::string list = c.at("+CLAC");
    for (const char *known : {"\r\nATI\r\n", "\r\nAT+CGMI\r\n", "\r\nAT+CMGL\r\n", "\r\nAT+CFUN\r\n", "\r\nAT+CLAC\r\n"})
        EXPECT_NE(list.find(known), std::string::npos) << known << " in " << list;
    EXPECT_TRUE(endsOk(list));
}

TEST(TerminalClient, ACannedReplyCanTargetTheBareAt) {
    auto sim = HandsetSim::fromJson(R"({
        "echo": false,
        "canned": [{"command": "", "reply": "\r\nBUSY\r\n", "times": 1}]
    })");
    Client c(sim->start());
    c.send("AT\r");
    EXPECT_EQ(c.readUntil("BUSY\r\n"), "\r\nBUSY\r\n");
    EXPECT_EQ(c.at(""), "\r\nOK\r\n") << "once only";
    EXPECT_EQ(c.at("+CSQ"), "\r\n+CSQ: 17,99\r\n\r\nOK\r\n") << "other commands are not caught";
    EXPECT_THROW(HandsetSim::fromJson(R"({"canned": [{"reply": "x"}]})"), handsetsim::ScenarioError);
}

} // namespace
