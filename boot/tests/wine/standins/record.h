/* Records what a stand-in saw: one JSON object per line, appended to a file in the folder
 * named by STANDIN_LOG (a Windows path). Without STANDIN_LOG nothing is written. */
#ifndef STANDIN_RECORD_H
#define STANDIN_RECORD_H

#include <wchar.h>

/* A JSON object under construction; texts longer than the buffer are cut, never overflow. */
typedef struct {
  wchar_t text[32768];
  size_t len;
} Record;

void RecordBegin(Record *r);
void RecordString(Record *r, const wchar_t *key, const wchar_t *value); /* NULL value: null */
void RecordNumber(Record *r, const wchar_t *key, long long value);
void RecordBool(Record *r, const wchar_t *key, int value);
void RecordArgv(Record *r, const wchar_t *key, int argc, wchar_t **argv);
/* Closes the object and appends it as one UTF-8 line to STANDIN_LOG\fileName. */
void RecordWrite(Record *r, const wchar_t *fileName);

/* The value of an environment variable in buf (empty when unset). Returns 1 when set. */
int ReadEnv(const wchar_t *name, wchar_t *buf, unsigned capacity);

#endif
