/* Message format shared by the library and the engine processes.
 *
 * A message is ASCII text in a small XML-like element syntax (no declaration,
 * no attributes in the envelope, no entities, no blanks between elements):
 *
 *   <MSG><HDR><FROM>pid</FROM><TO>addressee</TO><ID>n</ID>[<RE>n</RE>]
 *   <TYPE>word</TYPE><TIME>yyyymmddhhmmss000</TIME>[<LANG>id</LANG>]</HDR>
 *   <DATA>payload</DATA></MSG> CR LF
 *
 * The builders compose it, the readers fetch fields by slash-separated tag
 * paths ("MSG/HDR/TYPE"), and the escape scheme carries free text that may
 * hold "<", ">" or bytes outside printable ASCII.
 *
 * Results are 0 for success and a positive code otherwise, as listed per
 * function.  Buffers are caller-owned with their size in bytes; string
 * objects are CGenStr.  The readers accept any text from another process:
 * they never read past the terminating NUL and never write past the sizes
 * they are given. */
#ifndef VELK_MESSAGE_PROTOCOL_H
#define VELK_MESSAGE_PROTOCOL_H

#include <stdint.h>

#include "gen-str.h"
#include "test-common.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

/* ---- Message type words (HDR/TYPE) ---- */
#define VELK_MSG_TYPE_MBCMD "MBCMD"
#define VELK_MSG_TYPE_DE_COMMAND "DE_COMMAND"
#define VELK_MSG_TYPE_NLS_COMMAND "NLS_COMMAND"
#define VELK_MSG_TYPE_TRANSACTION_RESPONSE "TRANSACTION_RESPONSE"
#define VELK_MSG_TYPE_DE_EVENT "DE_EVENT"
#define VELK_MSG_TYPE_DE_ENUM_NOTIFY "DE_ENUM_NOTIFY"
#define VELK_MSG_TYPE_DE_ENUMDATA "DE_ENUMDATA"
#define VELK_MSG_TYPE_DE_RETRIEVED_TEST_MESSAGE "DE_RETRIEVED_TEST_MESSAGE"

/* ---- Addressees (HDR/TO) ---- */
#define VELK_MSG_TO_MESSAGEBROKER "MESSAGEBROKER"
#define VELK_MSG_TO_DIAGENGINE "DIAGENGINE"
#define VELK_MSG_TO_NLSENGINE "NLSENGINE"

/* ---- Element names ---- */
#define VELK_MSG_TAG_MSG "MSG"
#define VELK_MSG_TAG_HDR "HDR"
#define VELK_MSG_TAG_DATA "DATA"

/* ---- Paths of the header fields and the payload ---- */
#define VELK_MSG_PATH_FROM "MSG/HDR/FROM"
#define VELK_MSG_PATH_TO "MSG/HDR/TO"
#define VELK_MSG_PATH_ID "MSG/HDR/ID"
#define VELK_MSG_PATH_RE "MSG/HDR/RE"
#define VELK_MSG_PATH_TYPE "MSG/HDR/TYPE"
#define VELK_MSG_PATH_TIME "MSG/HDR/TIME"
#define VELK_MSG_PATH_LANG "MSG/HDR/LANG"
#define VELK_MSG_PATH_DATA "MSG/DATA"

/* The two bytes that end every message on the wire. */
#define VELK_MSG_END "\r\n"

/* Limits of the tag-path reader: open elements tracked, and characters of an
 * element name or path component that take part in comparisons. */
#define VELK_XML_MAX_DEPTH 15
#define VELK_XML_MAX_NAME 39

/* ---- Result codes ---- */
#define VELK_MSG_OK 0
#define VELK_XML_NOT_FOUND 2 /* path readers: no such element, or it did not fit */

/* VelkCreateMessageHeader */
#define VELK_HDR_BAD_ARGUMENT 1 /* buffer, to or type is NULL */
#define VELK_HDR_TOO_SMALL 2    /* size below 6 */
#define VELK_HDR_NO_ROOM_FROM 3
#define VELK_HDR_NO_ROOM_TO 4
#define VELK_HDR_NO_ROOM_ID 5
#define VELK_HDR_NO_ROOM_RE 6
#define VELK_HDR_NO_ROOM_TYPE 7
#define VELK_HDR_NO_ROOM_TIME 8
#define VELK_HDR_NO_ROOM_END 9 /* "</HDR>" and its NUL */
#define VELK_HDR_NO_ROOM_LANG 10

/* VelkCreateMessage */
#define VELK_MSG_NO_ROOM 2

/* VelkClientCreateEngineCommand */
#define VELK_CMD_HEADER_FAILED 1
#define VELK_CMD_PAYLOAD_FAILED 2
#define VELK_CMD_ENVELOPE_FAILED 3
#define VELK_CMD_NO_MEMORY 4
/* The buffer flavours of the engine commands: the message and its NUL do not
 * fit in the caller's buffer. */
#define VELK_CMD_NO_ROOM 2

/* VelkClientCreateResponse */
#define VELK_RESP_HEADER_FAILED 1
#define VELK_RESP_NO_MEMORY 2
#define VELK_RESP_PAYLOAD_FAILED 3
#define VELK_RESP_ENVELOPE_FAILED 4

/* VelkMessageGetMessageType: the copy of the type could not be allocated. */
#define VELK_MSG_TYPE_NO_MEMORY 10

/* ---- Identifiers and process ids ---- */

/* The next message number: one process-wide counter starting at 1, taken and
 * advanced in one indivisible step. */
uint32_t VelkGetLocallyUniqueMessageId(void);
/* This process's id (the cached id of VelkGetClientPid). */
uint32_t VelkGetLocalProcessId(void);
/* Writes pid as decimal text; writes "" when size is 9 or less. */
void VelkGetProcessIdString(uint32_t pid, char* buffer, uint32_t size);
void VelkGetLocalProcessIdString(char* buffer, uint32_t size);
/* -1 for a NULL text, else the decimal value of the text. */
long VelkGetProcessIdFromString(const char* text);

/* ---- Building ---- */

/* Appends "<name>value</name>" to the text in buffer.  0, or 1 without writing
 * when size < strlen(buffer) + 2 * strlen(name) + strlen(value) + 6. */
int VelkXmlAddField(char* buffer, uint32_t size, const char* name, const char* value);

/* Writes "<HDR>...</HDR>" into buffer (replacing its content) with FROM this
 * process, TO, a new ID, RE when re is not NULL, TYPE, TIME now (UTC) and LANG
 * when lang is not NULL.  0 or a VELK_HDR_* code; the buffer content is
 * unspecified after a failure. */
int VelkCreateMessageHeader(char* buffer, uint32_t size, const char* to, const char* re,
                            const char* type, const char* lang);

/* What a header states about its own making: the sender, the message number
 * and the creation time.  VelkMessageStampNow fills it for this process, now,
 * taking a new message number. */
typedef struct VelkMessageStamp {
    uint32_t fromPid;
    uint32_t id;
    VelkTimeRecord time;
} VelkMessageStamp;

void VelkMessageStampNow(VelkMessageStamp* stamp);

/* VelkCreateMessageHeader with the sender, number and time given. */
int VelkCreateMessageHeaderStamped(char* buffer, uint32_t size, const char* to, const char* re,
                                   const char* type, const char* lang,
                                   const VelkMessageStamp* stamp);

/* Writes "<name>" + each text up to the terminating NULL + "</name>" into
 * buffer, replacing its content; CR LF follows the closing tag when name is
 * "MSG", "STOP", "ACK" or "STARTUP".  A leading "<" in name is skipped.
 * 0, or VELK_MSG_NO_ROOM (2) when the result and its NUL do not fit; the
 * buffer is then left unchanged. */
int VelkCreateMessage(char* buffer, uint32_t size, const char* name, ...);
/* The same into a string object, replacing its content, growing it as
 * needed: 0 (the process ends when memory runs out).  A string object over a
 * caller's fixed buffer does not grow: VELK_MSG_NO_ROOM (2) when the result
 * does not fit, the content then left unchanged. */
int VelkCreateMessageStr(CGenStr* message, const char* name, ...);

/* A whole command message to an engine process into message: header (to,
 * type, lang when given, no RE), "<DATA>command</DATA>", envelope, CR LF.
 * 0 or a VELK_CMD_* code. */
int VelkClientCreateEngineCommand(const char* to, const char* lang, const char* type,
                                  const char* command, CGenStr* message);
/* VelkClientCreateEngineCommand with the sender, number and time given. */
int VelkClientCreateEngineCommandStamped(const char* to, const char* lang, const char* type,
                                         const char* command, const VelkMessageStamp* stamp,
                                         CGenStr* message);

/* Buffer flavours: 0, VELK_CMD_NO_ROOM (2) when the message and its NUL do
 * not fit in size bytes, or another VelkClientCreateEngineCommand code. */
int VelkClientCreateMessageBrokerCommand(const char* command, char* buffer, uint32_t size);
/* unused is ignored; callers pass NULL. */
int VelkClientCreateDiagnosticEngineCommand(const char* command, const void* unused, char* buffer,
                                            uint32_t size);
int VelkClientCreateNlsEngineCommand(const char* command, char* buffer, uint32_t size);

/* String-object flavours: the VelkClientCreateEngineCommand codes. */
int VelkClientCreateMessageBrokerCommandStr(const char* command, CGenStr* message);
int VelkClientCreateDiagnosticEngineCommandStr(const char* command, const char* lang,
                                               CGenStr* message);
int VelkClientCreateNlsEngineCommandStr(const char* command, CGenStr* message);

/* A TRANSACTION_RESPONSE to requesterPid answering requestId, with body as
 * payload, into buffer.  0 or a VELK_RESP_* code. */
int VelkClientCreateResponse(uint32_t requesterPid, uint32_t requestId, const char* body,
                             char* buffer, uint32_t size);

/* ---- Reading ---- */

/* text must point at "<".  Returns the position of the element's closing ">"
 * and copies its name (letters, digits, "_"; at most nameSize - 1 of them)
 * into name.  For an empty element "<X/>" it returns the position of the "/"
 * and leaves name untouched.  NULL when text does not start with "<" or no
 * ">" follows. */
const char* VelkXmlGetTag(const char* text, char* name, uint32_t nameSize);

/* Finds the skip-th (from 0) element matching path in message and puts its
 * raw content into content.  *start receives the element's "<", *end the
 * character after its closing tag (both may be NULL; both NULL when nothing
 * is found).  0 found, 2 not found. */
int VelkXmlGetFieldStrAndTagStartEnd(const char* message, const char** start, const char** end,
                                     const char* path, int skip, CGenStr* content);
int VelkXmlGetFieldStr(const char* message, const char* path, int skip, CGenStr* content);
/* Into a buffer that starts as "": 0, or 2 when not found or when the content
 * is longer than size - 2 characters (buffer then holds the first size - 2). */
int VelkXmlGetField(const char* message, const char* path, int skip, char* buffer, uint32_t size);

/* Header fields as numbers: the VelkXmlGetField result; *out is set only on
 * success. */
int VelkMessageGetSender(const char* message, uint32_t* sender);
int VelkMessageGetMessageId(const char* message, uint32_t* id);
int VelkMessageGetMessageRe(const char* message, uint32_t* re);
/* *type receives a copy of MSG/HDR/TYPE that the caller releases with free();
 * VELK_MSG_TYPE_NO_MEMORY with *type NULL when the copy cannot be made, else
 * the VelkXmlGetField result (a failed read leaves *type NULL). */
int VelkMessageGetMessageType(const char* message, char** type);

/* Receiving side of a command: reads sender, id and MSG/DATA (copied into data
 * when given, at most size characters and always terminated); then returns
 * the position + 1 of the first entry of prefixes (NULL-terminated, at most
 * 100 entries, may be NULL) that starts the payload, 0 when none does, or -1
 * when the message cannot be read. */
int VelkParsePacketHeaderAndData(const char* message, uint32_t* sender, uint32_t* id,
                                 const char* const* prefixes, char* data, uint32_t size);
/* Position + 1 of the entry of types (NULL-terminated, at most 100, may be
 * NULL) equal to MSG/HDR/TYPE; 0 when none; 1 when the type cannot be read. */
int VelkParsePacketType(const char* message, const char* const* types);

/* ---- Escaping ---- */

/* The text with every byte outside letters and " 0123456789$-_.+!*'(),{}|\^~[]`"
 * written as "@" and two upper-case hex digits, in a new allocation; or text
 * itself when nothing needs escaping or memory is short.  Release the result
 * with free() only when it differs from text. */
char* VelkXmlAllocStringAndConvertToXml(const char* text);
/* Undoes the escape in place: "@hh" becomes the byte 0xhh (either case), a
 * space when a digit is not hexadecimal or the text ends first.  Always 0. */
int VelkXmlConvertFromXmlToText(char* text);
/* The byte that the "@" at at and the two characters after it stand for;
 * never reads past a terminating NUL. */
char FromHexCharXml(const char* at);
/* "0123456789ABCDEF"[value & 15] */
char ToHexChar(unsigned int value);
/* 1 for a NULL text, 0 when every character is a letter or one of
 * "0123456789$-_.+!*'(),{}|\^~[]`" (the empty text too), 2 otherwise. */
int IsBadXmlIdentifier(const char* text);
/* 1 for an ASCII letter, a digit or "_", else 0. */
int VelkIsValidIdentifierChar(int c);

VELK_END_DECLS

#endif
