/* NLS access: language-neutral texts as NLS tags, resolved by the NLS engine.
 *
 * An NLS tag names a string of a module's string file by module and id and may
 * carry variables:
 *
 *   <NLS mod=DISK id=TEST_NAME DRIVE=C@3A/>
 *
 * Attributes are separated by single blanks, values are not quoted; module
 * name, id and variable names follow the identifier rule of the message
 * format (IsBadXmlIdentifier gives 0); variable values are escaped with the
 * message escape scheme.
 *
 * This layer builds such tags, asks the NLS engine for their text in a
 * language ("NLS_GETSTRING"), replaces every tag inside a message by its text,
 * registers a module's string file with the NLS engine ("NLS_REGMOD") and
 * keeps the local default language.  The engine requests run as transactions
 * over the process's client connection.
 *
 * Results: the tag and message lookups give 1 for success and 0 for failure;
 * the other operations give 0 for success and a positive code otherwise, as
 * listed. */
#ifndef VELK_NLS_ACCESS_H
#define VELK_NLS_ACCESS_H

#include <stdint.h>

#include "gen-str.h"
#include "velk-export.h"

VELK_BEGIN_DECLS

#define VELK_NLS_TAG_START "<NLS "
#define VELK_NLS_TAG_END "/>"
/* A language id is two characters; an area for one holds three bytes. */
#define VELK_LANG_ID_SIZE 3
#define VELK_NLS_DEFAULT_LANGUAGE "EN"
/* Returned language of a tag that has no translation: the tag itself is the
 * text. */
#define VELK_NLS_LANGUAGE_TOKEN "TK"
/* Area in which the "NLS_GETSTRING" command is composed and wrapped; a tag
 * that does not fit is refused. */
#define VELK_NLS_COMMAND_AREA 8192
#define VELK_NLS_TIMEOUT_MS 5000
/* Area of the "NLS_REGMOD" request and its reply. */
#define VELK_NLS_REGMOD_AREA 1024

/* Results of VelkNlsRegisterModuleNlsFile. */
#define VELK_NLS_REG_OK 0
#define VELK_NLS_REG_BAD_NAME 1
#define VELK_NLS_REG_NO_MEMORY 2
#define VELK_NLS_REG_NO_COMMAND 3
#define VELK_NLS_REG_NO_REPLY 4

/* Results of VelkNlsAddVariableToTagStr and VelkNlsAddVariableToTag. */
#define VELK_NLS_VAR_OK 0
#define VELK_NLS_VAR_BAD_NAME 1
#define VELK_NLS_VAR_NULL_TAG 2 /* also: the buffer of the buffer form is NULL */
#define VELK_NLS_VAR_NO_ROOM 3  /* buffer form: the tag or the result does not fit */
#define VELK_NLS_VAR_NULL_VALUE 4
#define VELK_NLS_VAR_NOT_A_TAG 5  /* the tag does not begin with "<NLS " */
#define VELK_NLS_VAR_NOT_CLOSED 6 /* the tag does not end with "/>" */
#define VELK_NLS_VAR_ESCAPE_FAILED 7
#define VELK_NLS_VAR_CUT_FAILED 9
#define VELK_NLS_VAR_APPEND_FAILED 10

/* ---- Languages ---- */

/* 1 when lang is not NULL and has exactly two characters, else 0. */
int IsValidLangId(const char* lang);
/* 1 when text is NULL, empty or only white space, else 0. */
int IsNullOrBlankString(const char* text);
/* Keeps at most two characters of code; NULL empties the default.  Initially
 * "EN". */
void VelkSetLocalDefaultLanguage(const char* code);
const char* VelkGetLocalDefaultLanguage(void);

/* ---- Tags ---- */

/* "<NLS " + ("mod=" module " " when module is not NULL) + "id=" id + "/>" into
 * tag (replacing its content).  1, or 0 when id or module breaks the
 * identifier rule or memory runs out (tag is then unchanged). */
int VelkNlsBuildTag(const char* module, const char* id, CGenStr* tag);

/* Appends the variable " name=value" (value escaped) before the final "/>" of
 * tag.  A VELK_NLS_VAR_* code; tag is unchanged on failure. */
int VelkNlsAddVariableToTagStr(CGenStr* tag, const char* name, const char* value);
/* The same on a NUL-terminated tag in a buffer of size bytes: 2 for a NULL
 * buffer, 3 when size is not larger than the tag's length or the result and
 * its NUL would not fit (the buffer is then unchanged), otherwise the code of
 * VelkNlsAddVariableToTagStr. */
int VelkNlsAddVariableToTag(char* tag, uint32_t size, const char* name, const char* value);

/* ---- Lookups through the NLS engine ---- */

/* Text of tag in lang (NULL: the local default).  returnedLang (three bytes)
 * receives the language of the text found: lang, "EN" as the fallback, or
 * "TK" when the NLS engine has no text and text holds the tag itself.  1 and
 * the text, or 0 (bad arguments, a tag that does not fit the command area,
 * no reply, a reply without text); returnedLang and text are emptied first. */
int VelkGetNlsStringWithXmlTag(const char* tag, const char* lang, char* returnedLang,
                               CGenStr* text);

/* Reads the text of tag in lang from the NLS engine's reply (the pure part of
 * VelkGetNlsStringWithXmlTag): the language element "<" lang ">" inside the
 * reply's "<NLS ...>" element, else "<EN>", unescaped.  Without either, the
 * returned language is "TK" and text receives tag.  1, or 0 when the reply
 * has no NLS element, a language element has no end, or memory runs out. */
int VelkNlsParseStringReply(const char* reply, const char* lang, const char* tag,
                            char* returnedLang, CGenStr* text);

/* Builds the NLS engine command "NLS_GETSTRING:" lang ":" tag into buffer.
 * 0, or a positive code when it does not fit size bytes. */
int VelkNlsBuildGetStringCommand(const char* lang, const char* tag, char* buffer, uint32_t size);

/* The text of the string id (of module when not NULL) in lang (NULL: the
 * local default), copied into buffer (size above 0, starts empty).  buffer,
 * or NULL when an argument is bad, the lookup fails or the text does not
 * fit. */
char* VelkGetNlsStringWithIdEx(const char* module, const char* id, const char* lang, char* buffer,
                               uint32_t size);
/* VelkGetNlsStringWithIdEx without module and in the local default language. */
char* VelkGetNlsStringWithId(const char* id, char* buffer, uint32_t size);
/* VelkGetNlsStringWithId into a new allocation that the caller releases with
 * free(); NULL on failure. */
char* VelkAllocAndGetNlsStringWithId(const char* id);

/* Replaces every NLS tag in message by its text in lang (not two characters:
 * the local default) into translated.  A tag that cannot be looked up stays
 * as it is, and so does an "<NLS " without a closing "/>" and the rest after
 * it.  1 when the message was translated, 0 for an empty message, no usable
 * language or when memory runs out. */
int VelkGetNlsMessageWithXmlMessage(const char* message, const char* lang, CGenStr* translated);

/* ---- String files ---- */

/* Registers the module string file of path with the NLS engine: the module
 * name is the last component of path ("hdd.vkm").  A VELK_NLS_REG_* code. */
int VelkNlsRegisterModuleNlsFile(const char* path);

VELK_END_DECLS

#endif
