/*
 * ms_itf.h — the numbered driver interfaces and the records that cross them.
 *
 * A model plug-in hands the main program interface pointers by id (MsPlug_getItf); the generic
 * driver's objects (OthInfo, OthSms, OthPb) implement them. An interface pointer is the address of
 * a word holding the implementing object (`self`), followed directly by the operations' function
 * pointers, slot 1 first. Every operation is a plain function called with the interface pointer
 * first; it answers a signed 32-bit result code from dv_result.h (negative: error).
 *
 *   id 15 InfoItf   identity, battery, signal, clock
 *   id 11 SmsItf    short messages (StorItf slots 1-13, then 14-18)
 *   id 12, 13, 14   PbItf: phone books (StorItf slots 1-13, then 14-17)
 *   id 21, 22       asked for at connect and never used
 *
 * StorItf is the common head of SmsItf and PbItf: an SmsItf or PbItf pointer may be used as a
 * StorItf pointer, which is how the worker drives both kinds of storage.
 *
 * Ownership: interface objects belong to the plug-in that handed them out and stay valid until its
 * MsPlug_cleanup. Buffers and records passed to an operation belong to the caller; no operation
 * keeps a pointer to them after it returns. Across this boundary texts are fixed, zero-filled byte
 * arrays; a text field of N bytes holds at most N - 1 bytes and a terminator.
 *
 * Records with a fixed byte layout (SmsSendRec 308, SmsRecord 292, SmsPduRec 456, PhoneIdent 96,
 * TFieldParam 44, PhoneTime 14) are little-endian, keep their size on 64-bit and are pinned below.
 *
 * Result codes used by the operations: 0 or more success (often a length or a count); -7, -9, -12,
 * -71, -92 handset and link faults; -23 no current entry or no write in progress; -36 / -125 end of
 * a listing; -51 an entry that does not decode; -81 bad argument; -94 unsupported by this store;
 * -95 not implemented; -251 a message that cannot be encoded (too long).
 *
 * The operations run on the caller's thread and take no lock; one connection is driven from one
 * thread at a time (the caller holds the connection lock).
 */
#ifndef MS_ITF_H
#define MS_ITF_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define MS_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define MS_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* ---- Interface ids and store kinds ---- */
enum {
    MS_ITF_SMS = 11,   /* SmsItf */
    MS_ITF_PB = 12,    /* PbItf, storages 1 ("SM") and 2 ("ME") */
    MS_ITF_PB2 = 13,   /* PbItf, a further phone book */
    MS_ITF_PB3 = 14,   /* PbItf, a further phone book */
    MS_ITF_INFO = 15,  /* InfoItf */
    MS_ITF_RES21 = 21, /* asked for, never used */
    MS_ITF_RES22 = 22  /* asked for, never used */
};

/* StorItf.getCaps kind codes. */
enum { MS_CAPS_PB = 57, MS_CAPS_SMS = 58 };

/* StorItf.beginWrite modes. */
enum { MS_WRITE_PB = 0, MS_WRITE_SMS = 1 };

/* ---- Shared records ---- */

/* A clock reading as the handset gives it: the year has two digits, the zone is signed (hours in
 * message time stamps, quarters of an hour in a "+CCLK" reply). */
typedef struct PhoneTime {
    int16_t year;
    int16_t month;
    int16_t day;
    int16_t hour;
    int16_t minute;
    int16_t second;
    int16_t zone;
} PhoneTime;

/* The handset's identity, filled by MsMng_connect: three zero-terminated texts. */
typedef struct PhoneIdent {
    char Man[32];    /* reply to "+CGMI" */
    char ModelA[32]; /* reply to "+GMM" (or "+CGMM" when "+GMM" is refused) */
    char ModelB[32]; /* reply to "+CGMM" when "+GMM" answered */
} PhoneIdent;

/* One field limit of a phone book (PbItf.getFieldInfo). */
typedef struct TFieldParam {
    int32_t type;         /* vCard property code: 3 name, 5 telephone */
    int32_t flags;        /* 0 */
    int32_t maxLen;       /* longest value the handset takes */
    uint8_t reserved[32]; /* zero */
} TFieldParam;

/* A message handed to a driver for sending (SmsItf.send) or storing (StorItf.writeData in mode 1
 * followed by StorItf.commitWrite). */
typedef struct SmsSendRec {
    char number[44];        /* destination, at most 43 bytes, the rest zero */
    char text[212];         /* UTF-8, at most 211 bytes, the rest zero */
    uint32_t validity;      /* validity period in minutes; 0: the network's default */
    uint16_t statusReport;  /* non-zero: ask for a status report */
    char sca[44];           /* service centre; all zero for the handset's default centre */
    uint8_t reserved[2];    /* zero */
} SmsSendRec;

/* Record kinds and states of SmsRecord. */
enum { SMS_KIND_RECEIVED = 1, SMS_KIND_SUBMITTED = 2 };
enum { SMS_STATE_BINARY = 0, SMS_STATE_TEXT = 1, SMS_STATE_REPORT = 2 };

/* One stored message as a driver returns it (StorItf.readData of SmsItf). */
typedef struct SmsRecord {
    int32_t kind;          /* 1 received (DELIVER or STATUS-REPORT), 2 submitted (SUBMIT) */
    int32_t state;         /* 1 text, 0 binary, 2 status report */
    int32_t listStatus;    /* GSM 07.05: 0 received unread, 1 received read, 2 stored unsent, 3 sent */
    char number[44];       /* originating, destination or recipient address */
    char text[212];        /* UTF-8 text (state 1), "binary message" (state 0), empty (state 2) */
    PhoneTime time;        /* service-centre time stamp, zone in whole hours; zero for a SUBMIT */
    int16_t timeSpare;     /* zero */
    int32_t validity;      /* relative validity octet of a SUBMIT, 0 when absent */
    int32_t reportStatus;  /* TP-ST of a status report */
} SmsRecord;

/* Tail of an SmsPduRec for a SUBMIT (offsets 420-431). */
typedef struct SmsPduSubmitPart {
    int32_t statusReport; /* TP-SRR */
    int32_t msgRef;       /* TP-MR (low 8 bits) */
    int32_t validity;     /* encoding: minutes (0: network default); decoding: the relative VP octet, 0 when absent */
    uint8_t unused[24];
} SmsPduSubmitPart;

/* Tail of an SmsPduRec for a DELIVER (offsets 420-439). */
typedef struct SmsPduDeliverPart {
    int32_t statusReport; /* TP-SRI */
    PhoneTime scts;       /* service-centre time stamp, zone in whole hours */
    int16_t sctsSpare;
    uint8_t unused[16];
} SmsPduDeliverPart;

/* Tail of an SmsPduRec for a STATUS-REPORT (offsets 420-455). */
typedef struct SmsPduReportPart {
    uint8_t msgRef;       /* TP-MR of the message reported on */
    uint8_t pad;
    PhoneTime scts;       /* service-centre time stamp */
    PhoneTime discharge;  /* discharge time */
    uint8_t status;       /* TP-ST */
    uint8_t pad2;
    int32_t piPresent;    /* 1 when a parameter indicator followed the status */
} SmsPduReportPart;

/* One short message as the PDU codec sees it; zero-filled before use. It is also the argument of
 * SmsItf.sendPdu. The tail (offset 420 on) depends on the message type. */
typedef struct SmsPduRec {
    uint8_t pid;           /* TP-PID */
    char address[41];      /* zero-terminated, "+" first for an international number */
    uint8_t pad0[2];
    int32_t udhi;          /* a user-data header is present */
    uint8_t udhLen;        /* octets of the header's information elements (at most 139) */
    uint8_t udh[139];      /* the information elements */
    int32_t otherCoding;   /* decoding: data in a coding the codec cannot read, kept as binary */
    uint8_t dcs;           /* encoding: OR-ed into TP-DCS; decoding: TP-DCS of an other-coding message */
    uint8_t pad1[3];
    int32_t binary;        /* data holds bytes, not text */
    uint8_t dataLen;       /* bytes of data, or of the decoded text */
    uint8_t data[211];     /* UTF-8 text, zero-terminated (at most 210 bytes), or binary data */
    union {
        int32_t rejectDup; /* SUBMIT: TP-RD */
        int32_t moreMsgs;  /* DELIVER, STATUS-REPORT: the TP-MMS bit as received */
    };
    int32_t replyPath;     /* TP-RP */
    union {
        SmsPduSubmitPart submit;
        SmsPduDeliverPart deliver;
        SmsPduReportPart report;
    };
} SmsPduRec;

/* ---- InfoItf (id 15) ---- */
typedef struct InfoItf InfoItf;
/* Text queries: copy the value into buf (size bytes, terminated); answer its length. */
typedef int32_t (*InfoItf_getTextFn)(InfoItf *itf, char *buf, int32_t size);
/* getModel: "+GMM" into the first given buffer, "+CGMM" into the second (see OthInfo); answers the
 * result of the last query. */
typedef int32_t (*InfoItf_getModelFn)(InfoItf *itf, char *buf1, int32_t size1, char *buf2, int32_t size2);
/* Battery level in percent, or signal 0-100 (-1 when unknown), into *value; answers 0. */
typedef int32_t (*InfoItf_getIntFn)(InfoItf *itf, int32_t *value);
typedef int32_t (*InfoItf_getClockFn)(InfoItf *itf, PhoneTime *time);
typedef int32_t (*InfoItf_setClockFn)(InfoItf *itf, const PhoneTime *time);

struct InfoItf {
    void *self;
    InfoItf_getTextFn getMan;      /* 1  manufacturer ("+CGMI") */
    InfoItf_getModelFn getModel;   /* 2  model pair */
    InfoItf_getTextFn getVer;      /* 3  hardware revision ("+CGMR") */
    InfoItf_getTextFn getFirmVer;  /* 4  firmware version (-95 in the generic driver) */
    InfoItf_getTextFn getImei;     /* 5  IMEI ("+CGSN") */
    InfoItf_getTextFn getImsi;     /* 6  IMSI ("+CIMI") */
    InfoItf_getTextFn getNum;      /* 7  own number ("+CNUM") */
    InfoItf_getTextFn getNetCode;  /* 8  network code (first 5 digits of the IMSI) */
    InfoItf_getTextFn getNetName;  /* 9  network name */
    InfoItf_getIntFn getBattery;   /* 10 battery level, percent */
    InfoItf_getIntFn getSignal;    /* 11 signal 0-100, -1 when not available */
    InfoItf_getClockFn getClock;   /* 12 handset clock */
    InfoItf_setClockFn setClock;   /* 13 set the handset clock */
};

/* ---- StorItf (slots 1-13 of SmsItf and PbItf) ----
 * `reserved` arguments are passed as 0. */
typedef struct StorItf StorItf;
/* 1: the current storage code (MsStor: 1 "SM", 2 "ME") into *stor; 0. */
typedef int32_t (*StorItf_getStorFn)(StorItf *itf, int32_t *stor);
/* 2: select a storage (0 keeps the current one); 0, -81 or -94 when refused. */
typedef int32_t (*StorItf_setStorFn)(StorItf *itf, int32_t stor);
/* 3: the store's kind code (57 phone book, 58 short messages) into *kind; 0. */
typedef int32_t (*StorItf_getCapsFn)(StorItf *itf, int32_t *kind);
/* 4: total, used, first and last index of the current storage; 0. */
typedef int32_t (*StorItf_getStatFn)(StorItf *itf, int32_t reserved, int32_t *total, int32_t *used,
                                     int32_t *first, int32_t *last);
/* 5: make the next entry current (first = 1 starts a new listing) and report its index: 1 an entry
 * is current, 0 the listing ended, negative an error. */
typedef int32_t (*StorItf_readNextFn)(StorItf *itf, int32_t reserved, int32_t *index, int32_t first);
/* 6 and 8: copy the current entry's bytes into buf (size bytes): the count copied, -23 without a
 * current entry. Slot 8 answers -94 for short messages. */
typedef int32_t (*StorItf_readDataFn)(StorItf *itf, void *buf, int32_t size);
/* 7: make the entry at index current: 1, 0 for an empty position, negative an error. */
typedef int32_t (*StorItf_readAtFn)(StorItf *itf, int32_t reserved, int32_t index);
/* 9: start a write at index (negative: the first free position) in mode 0 (phone-book entry) or 1
 * (short message); 0, or -94 for the other store's mode. */
typedef int32_t (*StorItf_beginWriteFn)(StorItf *itf, int32_t reserved, int32_t index, int32_t mode);
/* 10: append len bytes of the entry: len, -81 when not all was taken, -23 without beginWrite. */
typedef int32_t (*StorItf_writeDataFn)(StorItf *itf, const void *buf, int32_t len);
/* 11: write the entry to the handset; the position it used into *index; 0. */
typedef int32_t (*StorItf_commitWriteFn)(StorItf *itf, int32_t *index);
/* 12: delete the entry at index; 0. */
typedef int32_t (*StorItf_delFn)(StorItf *itf, int32_t reserved, int32_t index);
/* 13: delete every entry of the current storage; 0. */
typedef int32_t (*StorItf_delAllFn)(StorItf *itf);

struct StorItf {
    void *self;
    StorItf_getStorFn getStor;         /* 1 */
    StorItf_setStorFn setStor;         /* 2 */
    StorItf_getCapsFn getCaps;         /* 3 */
    StorItf_getStatFn getStat;         /* 4 */
    StorItf_readNextFn readNext;       /* 5 */
    StorItf_readDataFn readData;       /* 6 */
    StorItf_readAtFn readAt;           /* 7 */
    StorItf_readDataFn readDataAgain;  /* 8 */
    StorItf_beginWriteFn beginWrite;   /* 9 */
    StorItf_writeDataFn writeData;     /* 10 */
    StorItf_commitWriteFn commitWrite; /* 11 */
    StorItf_delFn del;                 /* 12 */
    StorItf_delAllFn delAll;           /* 13 */
};

/* ---- SmsItf (id 11) ---- */
typedef struct SmsItf SmsItf;
/* 14: encode and send the message; 0, -251 when it does not fit one message. */
typedef int32_t (*SmsItf_sendFn)(SmsItf *itf, const SmsSendRec *msg);
/* 15: send the stored message at index ("+CMSS"); 0. */
typedef int32_t (*SmsItf_sendFromStorFn)(SmsItf *itf, int32_t index);
/* 16: encode and send a SUBMIT given as a record; sca NULL or empty for the default centre; 0,
 * -251 when it cannot be encoded. */
typedef int32_t (*SmsItf_sendPduFn)(SmsItf *itf, const SmsPduRec *submit, const char *sca);
/* 17: set the service centre (at most 32 characters); 0, -81 when longer. */
typedef int32_t (*SmsItf_setScaFn)(SmsItf *itf, const char *sca);
/* 18: the service centre into buf (size bytes, terminated); 0. */
typedef int32_t (*SmsItf_getScaFn)(SmsItf *itf, char *buf, int32_t size);

struct SmsItf {
    StorItf stor;                       /* self and slots 1-13 */
    SmsItf_sendFn send;                 /* 14 */
    SmsItf_sendFromStorFn sendFromStor; /* 15 */
    SmsItf_sendPduFn sendPdu;           /* 16 */
    SmsItf_setScaFn setSca;             /* 17 */
    SmsItf_getScaFn getSca;             /* 18 */
};

/* ---- PbItf (ids 12, 13, 14) ---- */
typedef struct PbItf PbItf;
/* 14: the store's field limits: *table points to *count entries owned by the object, valid until
 * its next getFieldInfo or its deletion; 0. */
typedef int32_t (*PbItf_getFieldInfoFn)(PbItf *itf, const TFieldParam **table, int32_t *count);
/* 15-17: reserved (0, 0 and -94 in the generic driver). */
typedef int32_t (*PbItf_reservedFn)(PbItf *itf);

struct PbItf {
    StorItf stor;                       /* self and slots 1-13 */
    PbItf_getFieldInfoFn getFieldInfo;  /* 14 */
    PbItf_reservedFn reserved15;        /* 15 */
    PbItf_reservedFn reserved16;        /* 16 */
    PbItf_reservedFn reserved17;        /* 17 */
};

/* ---- Layout pins ---- */
MS_STATIC_ASSERT(sizeof(PhoneTime) == 14, "PhoneTime is seven 16-bit words");
MS_STATIC_ASSERT(sizeof(PhoneIdent) == 96, "PhoneIdent is 96 bytes");
MS_STATIC_ASSERT(sizeof(TFieldParam) == 44, "TFieldParam is 44 bytes");
MS_STATIC_ASSERT(sizeof(SmsSendRec) == 308, "SmsSendRec is 308 bytes");
MS_STATIC_ASSERT(offsetof(SmsSendRec, text) == 44, "SmsSendRec.text");
MS_STATIC_ASSERT(offsetof(SmsSendRec, validity) == 256, "SmsSendRec.validity");
MS_STATIC_ASSERT(offsetof(SmsSendRec, statusReport) == 260, "SmsSendRec.statusReport");
MS_STATIC_ASSERT(offsetof(SmsSendRec, sca) == 262, "SmsSendRec.sca");
MS_STATIC_ASSERT(offsetof(SmsSendRec, reserved) == 306, "SmsSendRec.reserved");
MS_STATIC_ASSERT(sizeof(SmsRecord) == 292, "SmsRecord is 292 bytes");
MS_STATIC_ASSERT(offsetof(SmsRecord, number) == 12, "SmsRecord.number");
MS_STATIC_ASSERT(offsetof(SmsRecord, text) == 56, "SmsRecord.text");
MS_STATIC_ASSERT(offsetof(SmsRecord, time) == 268, "SmsRecord.time");
MS_STATIC_ASSERT(offsetof(SmsRecord, validity) == 284, "SmsRecord.validity");
MS_STATIC_ASSERT(offsetof(SmsRecord, reportStatus) == 288, "SmsRecord.reportStatus");
MS_STATIC_ASSERT(sizeof(SmsPduRec) == 456, "SmsPduRec is 456 bytes");
MS_STATIC_ASSERT(offsetof(SmsPduRec, address) == 1, "SmsPduRec.address");
MS_STATIC_ASSERT(offsetof(SmsPduRec, udhi) == 44, "SmsPduRec.udhi");
MS_STATIC_ASSERT(offsetof(SmsPduRec, udhLen) == 48, "SmsPduRec.udhLen");
MS_STATIC_ASSERT(offsetof(SmsPduRec, udh) == 49, "SmsPduRec.udh");
MS_STATIC_ASSERT(offsetof(SmsPduRec, otherCoding) == 188, "SmsPduRec.otherCoding");
MS_STATIC_ASSERT(offsetof(SmsPduRec, dcs) == 192, "SmsPduRec.dcs");
MS_STATIC_ASSERT(offsetof(SmsPduRec, binary) == 196, "SmsPduRec.binary");
MS_STATIC_ASSERT(offsetof(SmsPduRec, dataLen) == 200, "SmsPduRec.dataLen");
MS_STATIC_ASSERT(offsetof(SmsPduRec, data) == 201, "SmsPduRec.data");
MS_STATIC_ASSERT(offsetof(SmsPduRec, rejectDup) == 412, "SmsPduRec.rejectDup");
MS_STATIC_ASSERT(offsetof(SmsPduRec, replyPath) == 416, "SmsPduRec.replyPath");
MS_STATIC_ASSERT(offsetof(SmsPduRec, submit) == 420, "SmsPduRec tail");
MS_STATIC_ASSERT(offsetof(SmsPduRec, submit) + offsetof(SmsPduSubmitPart, msgRef) == 424, "submit.msgRef");
MS_STATIC_ASSERT(offsetof(SmsPduRec, submit) + offsetof(SmsPduSubmitPart, validity) == 428, "submit.validity");
MS_STATIC_ASSERT(offsetof(SmsPduRec, deliver) + offsetof(SmsPduDeliverPart, scts) == 424, "deliver.scts");
MS_STATIC_ASSERT(offsetof(SmsPduRec, report) + offsetof(SmsPduReportPart, scts) == 422, "report.scts");
MS_STATIC_ASSERT(offsetof(SmsPduRec, report) + offsetof(SmsPduReportPart, discharge) == 436, "report.discharge");
MS_STATIC_ASSERT(offsetof(SmsPduRec, report) + offsetof(SmsPduReportPart, status) == 450, "report.status");
MS_STATIC_ASSERT(offsetof(SmsPduRec, report) + offsetof(SmsPduReportPart, piPresent) == 452, "report.piPresent");
/* The interfaces are a self word and pointer-sized slots with nothing between them. */
MS_STATIC_ASSERT(sizeof(InfoItf) == 14 * sizeof(void *), "InfoItf: self + 13 slots");
MS_STATIC_ASSERT(sizeof(StorItf) == 14 * sizeof(void *), "StorItf: self + 13 slots");
MS_STATIC_ASSERT(sizeof(SmsItf) == 19 * sizeof(void *), "SmsItf: self + 18 slots");
MS_STATIC_ASSERT(sizeof(PbItf) == 18 * sizeof(void *), "PbItf: self + 17 slots");

#ifdef __cplusplus
}
#endif

#endif
