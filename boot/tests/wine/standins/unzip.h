/* Unpacks a ZIP archive (stored and deflate entries) into an existing directory, the way
 * the system's unpackers do: folders from their own entries or from file paths, files
 * overwritten. Returns 0 on success, 1 when the archive is unreadable or broken or a file
 * cannot be written. Entries that would leave the directory are refused as broken. */
#ifndef STANDIN_UNZIP_H
#define STANDIN_UNZIP_H

#include <wchar.h>

int UnzipFile(const wchar_t *zipPath, const wchar_t *destDir);

#endif
