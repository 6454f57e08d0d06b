// handset_sim.h — the simulated GSM handset.
//
// A test tool, not part of the product. `HandsetSim` opens a pseudo-terminal and answers on its
// master side like a GSM handset on a serial cable: V.250 framing and echo, the identity and status
// commands of 3GPP 27.007, its phone books (+CSCS, +CPBS, +CPBR, +CPBW) and the PDU-mode short
// messages of 3GPP 27.005 (+CPMS, +CMGL, +CMGR, +CMGW, +CMGS, +CMSS, +CMGD, +CSCA). Its contents
// come from a `Scenario` (JSON text or file, or the defaults); faults and handset quirks can be
// switched at any time. It decodes PDUs with its own small parser (3GPP 23.040 / 23.038). With
// Scenario::irda it is also in range on the IrDA stand-in as an IrCOMM device.
//
// Threads: `start()` runs one background thread that serves the pty master. Every public method
// may be called from any thread at any time; each takes the simulator's one lock for its duration.
// Values are returned as copies.
//
// Lifetime: the pty lives from `start()` to `stop()` (or the destructor). A client may close and
// reopen the slave path any number of times; the handset keeps its state between clients, as a
// real handset does when the cable is pulled and plugged in again.

#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace handsetsim {

// ----------------------------------------------------------------------------------------------
// Contents

struct PhonebookEntry {
    int index = 0;
    std::string number; // as the handset shows it; "+" first for an international number
    int type = 129;     // type of address: 145 international, 129 unknown
    std::string text;   // UTF-8; converted to the selected +CSCS character set on the wire
};

struct PhonebookStorage {
    std::string name; // "SM", "ME", "FD", "ON", "DC", "MC", "RC", "LD", "EN", "SN", ...
    int first = 1;    // index range; first > last means a storage without locations
    int last = 250;
    int numberLength = 40; // longest number (+CPBR=? <nlength>); longer writes give +CME ERROR: 26
    int textLength = 14;   // longest text in characters (<tlength>); longer gives +CME ERROR: 24
    bool writable = true;  // call lists (DC, MC, RC, LD) and EN are read-only: +CME ERROR: 3
    std::map<int, PhonebookEntry> entries;
};

// 27.005 message status: 0 received unread, 1 received read, 2 stored unsent, 3 stored sent.
struct SmsMessage {
    int index = 0;
    int stat = 0;
    std::string pdu; // hex, service-centre field first, exactly as +CMGL/+CMGR list it
};

struct SmsStorage {
    std::string name;  // "SM", "ME"
    int capacity = 20; // indexes 1..capacity
    std::map<int, SmsMessage> messages;
};

struct OwnNumber {
    std::string alpha; // UTF-8
    std::string number;
    int type = 129;
};

// How the handset answers +GMM.
enum class GmmMode {
    LikeCgmm, // the same text as +CGMM
    Own,      // Identity::gmm
    Error,    // ERROR
};

struct Identity {
    // A "\n" in any of these spreads the reply over several lines; leading blanks are sent as given.
    std::string manufacturer = "SIMULATED";
    std::string model = "HS-1000";
    std::string gmm = "HS-1000 GSM"; // the +GMM text with GmmMode::Own
    GmmMode gmmMode = GmmMode::LikeCgmm;
    std::string revision = "R1A 1.00";
    std::string imei = "350000000000006";
    std::string imsi = "460001234567890";
    std::vector<OwnNumber> ownNumbers; // +CNUM
};

struct Status {
    int batteryStatus = 0; // +CBC <bcs>
    int batteryLevel = 75; // +CBC <bcl>
    int rssi = 17;         // +CSQ
    int ber = 99;
    std::string clock = "05/03/17,14:30:00+32"; // +CCLK, "yy/MM/dd,hh:mm:ss±zz"
    bool clockRuns = false;                     // advance the clock with real time
};

struct ServiceCentre {
    std::string number = "+8613800138000";
    int type = 145;
};

// ----------------------------------------------------------------------------------------------
// Behaviour switches (quirks seen on real handsets)

// Multi-line V1 replies: "\r\nA\r\nB\r\n\r\nOK\r\n" (Blank: V.250's own layout) or
// "\r\nA\r\nB\r\nOK\r\n" (Compact: no empty line before the final result).
enum class Layout { Blank, Compact };
enum class PromptStyle { CrLf, Bare };  // "\r\n> " or "> "
enum class EmptyRange { Ok, NotFound }; // a +CPBR range without entries: "OK" or "+CME ERROR: 22"
enum class CpbrTestShape {
    Standard, // +CPBR: (1-250),40,14
    NoParen,  // +CPBR: 1-250,40,14
    Empty,    // +CPBR: (),40,14
    Single,   // +CPBR: (1),40,14
    Extra,    // +CPBR: (1-250),40,14,0,0,0
    AfterOk,  // the +CPBR line comes after the OK
};
enum class CpmsTestShape {
    Standard, // +CPMS: ("SM","ME"),("SM","ME"),("SM","ME")
    Nested,   // +CPMS: (("SM","ME"),("SM","ME"),("SM","ME"))
    NoParen,  // +CPMS: "SM","ME"
    Empty,    // +CPMS: (),(),()
};
// How +CSCA? shows the number.
enum class ScaEncoding {
    Text,    // +8613800138000
    Ucs2,    // 002B0038...
    Hex,     // 2B3836... (each character as two hex digits)
    Charset, // by the selected +CSCS (UCS2 hex when UCS2 is selected)
};

struct Profile {
    // framing
    Layout layout = Layout::Blank;
    bool bareCr = false;             // every line of a reply ends in a lone CR
    bool bareLf = false;             // every line of a reply ends in a lone LF
    bool noLeadingEol = false;       // a reply lacks the line end that should open it ("OK\r\n")
    std::string errorText = "ERROR"; // e.g. "COMMAND NOT SUPPORT"
    bool doubleEcho = false;         // the command line is echoed twice
    bool echoCrCrLf = false;         // the echo ends CR CR LF
    bool echoPdu = true;             // echo the PDU hex typed after the prompt (when echo is on)
    PromptStyle prompt = PromptStyle::CrLf;
    bool identityPrefix = false; // "+CGMI: SIMULATED" in place of "SIMULATED"
    // phone book
    EmptyRange emptyRange = EmptyRange::Ok;
    bool pbTextUnquoted = false; // +CPBR: 1,"123",129,004A006F
    bool pbUcs2AsHex8 = false;   // with UCS2 selected, names as 8-bit hex ("4A6F")
    std::string pbExtraFields;   // appended to every +CPBR entry line, e.g. ,"05/03/17","14:30"
    int pbIndexOffset = 0;       // the index reported is the one asked plus this
    bool pbIntlWithoutPlus = false; // +CPBR: 1,"8613800138000",145,"x" (type 145, no "+")
    CpbrTestShape cpbrTest = CpbrTestShape::Standard;
    bool cpbsCounts = true; // +CPBS? with used,total (false: +CPBS: "SM")
    // short messages
    int listLengthDelta = 0;       // added to the <length> of +CMGL/+CMGR headers
    bool cmglNoAlpha = false;      // +CMGL: 17,3,35
    bool cmgrNoStat = false;       // +CMGR: ,,27
    bool pduSameLine = false;      // a blank in place of the line break before the PDU
    bool pduTrailingQuote = false; // a stray '"' after the PDU hex
    bool cmglMarksRead = true;     // listing turns "received unread" into "received read"
    bool cmglFails = false;        // +CMGL answers +CMS ERROR: 303 (forces a +CMGR walk)
    bool cmgrEmptyOk = false;      // an empty +CMGR position answers OK (else +CMS ERROR: 321)
    bool cmgdEmptyError = false;   // deleting an empty position answers +CMS ERROR: 321 (else OK)
    CpmsTestShape cpmsTest = CpmsTestShape::Standard;
    std::vector<std::string> cpmsExtra; // extra names listed by +CPMS=?, e.g. "SM_P"
    ScaEncoding scaEncoding = ScaEncoding::Text;
    bool scaQuotes = true;
    bool scaPlus = true; // false drops the leading "+" of the shown number
};

// Faults (all may change while a client talks to the handset).
struct Faults {
    int replyDelayMs = 0;  // between the echo and the reply
    // A handset waking up: the first command after start-up, and after each time a client opens
    // the port, is answered this much later (the echo too with firstEchoLate).
    int firstReplyDelayMs = 0;
    bool firstEchoLate = false;
    std::string openGreeting; // bytes sent 10 ms after a client opens the port (a start-up banner)
    bool silent = false;   // swallow everything: no echo, no reply (a dead or switched-off handset)
    bool bytewise = false; // write replies one byte at a time ...
    int byteGapMs = 1;     // ... with this pause between bytes
    int throttleBaud = 0;  // > 0: the line runs at this rate both ways, 10 bits a byte
    int sendError = 0;     // > 0: +CMGS and +CMSS answer +CMS ERROR: <sendError>
    // > 0: counts down at each +CMGS; the one that brings it to 0 answers +CMS ERROR:
    // <sendErrorCode> (500 when that is 0), the others go out as usual.
    int sendErrorAt = 0;
    int sendErrorCode = 0;
};

enum class When {
    Now,         // at once (between commands when the client is idle)
    BeforeEcho,  // before the echo of the next (matching) command
    BeforeReply, // after that command's echo, before its reply
    AfterReply,  // right after its final result
};

// Bytes sent outside the command/reply rhythm: unsolicited result codes or garbage.
struct Injection {
    std::string bytes; // with frame = true a line such as "RING" or "+CMTI: \"SM\",3"
    bool frame = true; // wrap as an unsolicited result code ("\r\n" + bytes + "\r\n")
    When when = When::Now;
    std::string onCommand; // only a command whose text after "AT" begins with this (case-insensitive)
    bool repeat = false;   // fire on every matching command, not just the first
};

enum class DropMode {
    None,
    Hangup, // close the pty: the client sees EIO/POLLHUP; reconnect() makes a new one
    Mute,   // keep the pty but stop answering (Faults::silent)
};

// A canned reply replaces the handset's own answer to one command line.
struct CannedReply {
    std::string command;            // the text after "AT", case-insensitive; a trailing '*' matches a prefix;
                                    // "" is the bare "AT"
    std::string reply;              // exact bytes sent after the echo ("" = no answer at all)
    int delayMs = -1;               // -1: Faults::replyDelayMs
    int times = -1;                 // answer this many times, then fall back to the handset (-1: always)
    DropMode drop = DropMode::None; // after sending the reply
    int restoreAfterMs = -1;        // undo the drop after this long (-1: stay down)
};

// The handset in infrared range: one IrCOMM service on the IrDA stand-in (a listening socket in the
// stand-in folder; see devlib/transport/irda_standin.h). The same AT interpreter answers on it; each
// reply goes back on the link the last command came from.
struct IrdaConfig {
    bool enabled = false;
    uint32_t deviceId = 0x5EED0001;
    std::string nickname = "HS-1000";
    int mtu = 60;    // announced in the hello; frames sent carry at most mtu - 2 data bytes
    std::string dir; // "" = the stand-in's own folder ($SELVARK_IRDA_DIR, ...)
};

// ----------------------------------------------------------------------------------------------
// The scenario: everything the handset starts with.

// SM (1-250, number 40, text 14) and ME (1-500, 40, 30), empty.
inline std::vector<PhonebookStorage> defaultPhonebooks() {
    return {PhonebookStorage{"SM", 1, 250, 40, 14, true, {}},
            PhonebookStorage{"ME", 1, 500, 40, 30, true, {}}};
}
// SM (20 messages) and ME (100), empty.
inline std::vector<SmsStorage> defaultSmsStorages() {
    return {SmsStorage{"SM", 20, {}}, SmsStorage{"ME", 100, {}}};
}

struct Scenario {
    Identity identity;
    Status status;
    ServiceCentre serviceCentre;
    std::vector<std::string> charsets = {"GSM", "IRA", "UCS2", "UTF-8"}; // +CSCS=? in this order
    std::string charset = "GSM";                                         // selected at start
    bool echo = true;
    int cmee = 1;
    int cmgf = 0;
    std::vector<PhonebookStorage> phonebooks = defaultPhonebooks(); // in +CPBS=? order; the first is selected
    std::vector<SmsStorage> smsStorages = defaultSmsStorages();     // in +CPMS=? order
    std::vector<std::string> smsMem = {"SM", "SM", "SM"};           // +CPMS <mem1>,<mem2>,<mem3> at start
    Profile profile;
    Faults faults;
    std::vector<CannedReply> canned;
    std::vector<Injection> injections;
    IrdaConfig irda;
};

class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The same as Scenario{}: the defaults written above.
Scenario defaultScenario();
// Throw ScenarioError with the offending key on malformed input. Keys left out keep the defaults.
Scenario parseScenario(const std::string &jsonText);
Scenario loadScenario(const std::string &path);

// ----------------------------------------------------------------------------------------------
// PDUs (3GPP 23.040), decoded by the simulator's own parser.

enum class TpduKind { Deliver, Submit, StatusReport };

struct Tpdu {
    TpduKind kind = TpduKind::Deliver;
    uint8_t firstOctet = 0;
    int messageRef = -1; // SUBMIT, STATUS-REPORT
    std::string number;  // originating / destination / recipient; "+" first when international
    int numberType = 0;  // type-of-address octet
    int pid = 0;
    int dcs = 0;
    int validityFormat = 0;        // SUBMIT: first octet & 0x18
    std::vector<uint8_t> validity; // SUBMIT: the validity-period octets
    std::string timestamp;         // DELIVER / STATUS-REPORT: "yy/MM/dd,hh:mm:ss±zz"
    std::string dischargeTime;     // STATUS-REPORT
    int status = -1;               // STATUS-REPORT
    bool statusReport = false;     // first octet bit 5 (request or indication)
    bool udhi = false;
    std::vector<uint8_t> udh; // header information elements, without the length octet
    int udl = 0;
    enum Alphabet { Gsm7, Octets, Ucs2 } alphabet = Gsm7;
    std::string text;          // UTF-8 (7-bit and UCS2 messages)
    std::vector<uint8_t> data; // user data after the header (8-bit messages)
};

// Decodes one TPDU by its message type (first octet & 3: 0 DELIVER, 1 SUBMIT, 2 STATUS-REPORT).
// The whole buffer must be used: a user-data length that needs more or fewer octets than there
// are is an error. Returns false and sets `error` (when given) on any malformed field.
bool decodeTpdu(const uint8_t *buf, size_t len, Tpdu &out, std::string *error = nullptr);

std::string toHex(const uint8_t *buf, size_t len);               // upper case
bool fromHex(const std::string &hex, std::vector<uint8_t> &out); // either case, even length

// Build PDUs for scenarios and tests: full hex with the service-centre field first ("00" when
// `smsc` is empty). The text goes as 7-bit when every character is in the GSM default alphabet or
// its extension table, else as UCS2. Throw std::invalid_argument when it does not fit one message.
std::string encodeDeliverPdu(const std::string &from, const std::string &textUtf8,
                             const std::string &timestamp = "05/03/17,14:30:00+32",
                             const std::string &smsc = "");
std::string encodeSubmitPdu(const std::string &to, const std::string &textUtf8, int messageRef = 0,
                            const std::string &smsc = "");
// One part (seq of parts, reference ref) of a concatenated DELIVER: a user-data header with the
// 8-bit concatenation element, then at most 153 septets or 67 UCS2 characters.
std::string encodeDeliverPartPdu(const std::string &from, const std::string &textUtf8, int ref, int parts,
                                 int seq, const std::string &timestamp = "05/03/17,14:30:00+32");

// ----------------------------------------------------------------------------------------------
// What the handset saw

enum class Direction {
    In,   // bytes from the client
    Out,  // bytes the handset wrote
    Note, // an event: link dropped, restored, client closed ...
};

struct TranscriptEntry {
    uint64_t micros = 0; // since the simulator was constructed
    Direction dir = Direction::In;
    // Out: the reply delay the simulator chose for these bytes (0: sent as soon as due). Tests
    // judge a delay by this, not by reading the clock twice on a loaded machine.
    int delayMs = 0;
    std::string bytes;
};

// A message that went to the "network" through +CMGS or +CMSS.
struct SubmittedPdu {
    std::string smsc;   // hex of the service-centre field as sent ("00" for the default)
    std::string tpdu;   // hex of the TPDU as sent
    int messageRef = 0; // the <mr> the handset answered
    int fromIndex = -1; // +CMSS: the storage index; +CMGS: -1
    Tpdu decoded;
};

// The handset's settings as they stand.
struct ModemState {
    bool echo = true;
    bool verbose = true;
    bool quiet = false;
    int cmee = 1;
    int cmgf = 0;
    std::string charset;
    std::string phonebook;           // +CPBS
    std::vector<std::string> smsMem; // +CPMS mem1, mem2, mem3
    ServiceCentre serviceCentre;
    std::string imei;
    bool awaitingPdu = false;   // after the "> " prompt
    bool linkUp = false;        // the pty exists
    bool irdaConnected = false; // an IrCOMM client is connected
};

// ----------------------------------------------------------------------------------------------
// The simulator

class HandsetSim {
  public:
    HandsetSim(); // the default scenario
    explicit HandsetSim(Scenario scenario);
    static std::unique_ptr<HandsetSim> fromJson(const std::string &jsonText); // throws ScenarioError
    static std::unique_ptr<HandsetSim> fromFile(const std::string &path);     // throws ScenarioError
    ~HandsetSim();                                                            // stops
    HandsetSim(const HandsetSim &) = delete;
    HandsetSim &operator=(const HandsetSim &) = delete;

    // Opens the pty (and, with Scenario::irda, the IrCOMM service) and starts serving; returns the
    // slave path (e.g. "/dev/pts/7"). When `linkPath` is given, a symbolic link there points at the
    // slave (replaced on reconnect, removed on stop). Throws std::runtime_error when the pty or the
    // IrDA service cannot be made. Starting twice is an error.
    std::string start(const std::string &linkPath = "");
    // Stops the thread and closes the pty. Harmless when not started.
    void stop();
    bool running() const;
    std::string slavePath() const; // "" while the link is down

    // Faults
    void setFaults(const Faults &f);
    Faults faults() const;
    void setReplyDelay(int ms);
    void setSilent(bool silent);
    void setBytewise(bool on, int gapMs = 1);
    void setThrottle(int baud); // 0 = off
    void setSendError(int cmsCode);
    // Only the n-th +CMGS from now on fails, with +CMS ERROR: cmsCode.
    void setSendErrorAt(int n, int cmsCode = 500);
    void inject(const Injection &inj);
    void injectUnsolicited(const std::string &line, When when = When::Now, const std::string &onCommand = "");
    void injectGarbage(const std::string &bytes, When when = When::Now, const std::string &onCommand = "");
    // Hangup closes the pty at once (queued output is lost) and the IrDA connection, and refuses new
    // IrDA connections until reconnect(); Mute stops answering.
    void dropLink(DropMode mode);
    // A handset busy inside a command: the next command matching pattern (as a canned reply's
    // command) is carried out, but its answer and everything after it waits until
    // releaseReplies(). A command that takes a text (+CMGS, +CMGW) is held after its text, so a
    // message held this way has gone out. Never released, it is a handset fallen silent mid-command.
    void holdNextReply(const std::string &pattern);
    // A held answer is waiting (the command has been carried out).
    bool replyHeld() const;
    void releaseReplies();
    // Undo a drop: after Hangup makes a new pty (and relinks the link path) and returns its slave
    // path; after Mute answers again and returns the current path.
    std::string reconnect();

    // IrDA (Scenario::irda): whether this build has the stand-in at all; taking the handset out of
    // range (its service socket goes away, a connection stays) and back.
    static bool irdaSupported();
    void setIrdaInRange(bool inRange);
    void setImei(const std::string &imei);

    // Behaviour
    void setProfile(const Profile &p);
    Profile profile() const;
    void updateProfile(const std::function<void(Profile &)> &edit);
    void addCanned(const CannedReply &c);
    void clearCanned();

    // Contents, for set-up and assertions
    Identity identity() const;
    void setIdentity(const Identity &id);
    Status status() const;           // the clock as the handset would show it now
    void setStatus(const Status &s); // a clock that does not read yy/MM/dd,hh:mm:ss±zz: std::invalid_argument
    std::optional<PhonebookStorage> phonebook(const std::string &name) const;
    void setPhonebook(const PhonebookStorage &pb); // replaces or adds a storage
    void putPhonebookEntry(const std::string &storage,
                           const PhonebookEntry &e); // unknown storage: std::out_of_range
    void erasePhonebookEntry(const std::string &storage, int index);
    std::optional<SmsStorage> smsStorage(const std::string &name) const;
    void setSmsStorage(const SmsStorage &s);
    void putSms(const std::string &storage, const SmsMessage &m); // unknown storage: std::out_of_range
    void eraseSms(const std::string &storage, int index);
    ModemState state() const;

    // Records
    // In memory the newest 200000 entries are kept, and the newest 100000 command lines.
    std::vector<TranscriptEntry> transcript() const;
    std::string transcriptText() const; // one line per entry: "   12.345 RX \"AT\\r\""
    bool writeTranscript(const std::string &path) const;
    void clearTranscript();
    // Called on the serving thread for every new transcript entry (the program streams it to a file).
    void setTranscriptSink(std::function<void(const TranscriptEntry &)> sink);
    std::vector<std::string> commands() const; // every command line received, from "AT", no CR
    void clearCommands();
    std::vector<SubmittedPdu> submitted() const;
    void clearSubmitted();
    std::vector<std::string> diagnostics() const; // why a PDU or a command was refused

    // Formats one transcript entry the way transcriptText() does.
    static std::string formatEntry(const TranscriptEntry &e);

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// ----------------------------------------------------------------------------------------------
// The simulator as a child process (the `handset-sim` program), for tests that want it apart.

class SimProcess {
  public:
    // $SELVARK_BINARY_DIR/tools/handset-sim/handset-sim when that variable is set, else the path
    // the library was built with.
    static std::string defaultExecutable();
    // Runs `exe args...` and waits (up to 5 s) for the slave path on its standard output.
    // Throws std::runtime_error when it does not start.
    explicit SimProcess(const std::vector<std::string> &args, const std::string &exe = defaultExecutable());
    ~SimProcess(); // SIGTERM, then waits
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    const std::string &slavePath() const { return path_; }
    pid_t pid() const { return pid_; }
    // Sends `sig` and waits for the exit; returns the wait status (or -1 when already reaped).
    int terminate(int sig = SIGTERM);

  private:
    pid_t pid_ = -1;
    std::string path_;
};

} // namespace handsetsim
