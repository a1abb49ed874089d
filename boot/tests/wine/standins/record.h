/* Records what a stand-in saw: one JSON object per line, appended to a file in the folder
 * named by STANDIN_LOG (a Windows path). Without STANDIN_LOG nothing is written. */
#ifndef STANDIN_RECORD_H
#define STANDIN_RECORD_H

#include <initializer_list>
#include <string>
#include <utility>

/* Keys with their values, each already JSON: Json(text), a number, true or false. */
using Fields = std::initializer_list<std::pair<const wchar_t *, std::wstring>>;

std::wstring Json(const std::wstring &text);
std::wstring Object(Fields fields);
std::string Utf8(const std::wstring &text);
/* Appends the object as one UTF-8 line to STANDIN_LOG\fileName. */
void RecordWrite(const wchar_t *fileName, Fields fields);
/* The value of an environment variable, empty when unset. */
std::wstring ReadEnv(const wchar_t *name);

#endif
