/* Unpacks a ZIP archive into an existing directory with the host's unzip, the way the system's
 * unpackers do: folders from their own entries or from file paths, files overwritten, every
 * entry checked against its CRC; a name never leads out of the directory (unzip drops "../"
 * and a leading "/"). Returns 0 on success, 1 when the archive is unreadable or broken or a
 * file cannot be written. */
#ifndef STANDIN_UNZIP_H
#define STANDIN_UNZIP_H

#include <wchar.h>

int UnzipFile(const wchar_t *zipPath, const wchar_t *destDir);

#endif
